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
