#pragma once
// Helpers shared by the Windows tests: paths, scratch directories, files
// and child processes in the Wine prefix.
#include <windows.h>

#include <set>
#include <string>

// A path from the Linux side names drive Z:, which Wine maps to /.
std::string windows_path(const char* linux_or_windows_path);
// A new empty directory under the prefix's temporary directory.
std::string make_scratch_directory(const char* tag);
std::string read_file(const std::string& path);
bool write_file(const std::string& path, const std::string& content);
// Starts `command_line` and waits for it; answers its exit code, or -1.
long run_and_wait(const std::string& command_line, const char* directory = nullptr);
// The names in a directory, without "." and "..".
std::set<std::string> entries_of(const std::string& directory);
std::string current_directory();
// Wine keeps the read-only attribute in the Unix mode, which does not bind
// root: there the platform's refusal to write cannot be seen.
bool read_only_binds(const std::string& directory);
// Resets the record the setup code shares for a fresh test.
void reset_setup_globals();
