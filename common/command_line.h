#pragma once
// How a program is started: the command line and working directory that the
// process launcher hands to the platform. Portable: no Win32 types.

// Bytes of the command-line block for these pieces (null counts as empty):
// the three lengths, two quotes, a separator, a blank and a terminator.
unsigned command_line_size(const char* directory, const char* file, const char* arguments);
// Writes the command line into a block of command_line_size bytes: the
// quoted program path (directory, separator if needed, file) and, when there
// are arguments, a blank and the arguments; with neither directory nor file,
// the arguments alone.
void compose_command_line(char* block, const char* directory, const char* file,
                          const char* arguments);
// Writes the working directory for `directory` (non-empty) into a block of
// its length + 2 bytes: the directory without its trailing separator, except
// at a drive root, where "D:" would mean the drive's current directory.
void compose_working_directory(char* block, const char* directory);
// Reads the next argument of a command line as the system's launcher splits
// it: blanks and tabs separate arguments except inside quotes, and the
// quotes themselves are dropped (paths hold none, so no escapes). Writes it
// into destination and answers the position after it; null when no
// argument is left or it would not fit before `limit`.
const char* next_argument(const char* line, char* destination, const char* limit);
