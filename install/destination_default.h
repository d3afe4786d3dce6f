#pragma once

// Fills `result` (a PathBuffer) with the proposed destination, or empties
// it; `work` is a PathBuffer for the writability probe. Shows nothing.
void choose_default_destination(char* result, char* work);
int read_app_dir(char* out);
int read_program_files_dir(char* out);
int probe_writable(const char* dir, char* work);
