#pragma once

// The process from start to ExitProcess; never returns.
[[noreturn]] void setup_main();
int capture_start_directory();
int load_com_entry_points();
// The exit code for the wizard's dialog result.
unsigned exit_code_for(long long dialog_result);
