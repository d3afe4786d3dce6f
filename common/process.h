#pragma once
#include <windows.h>

// Starts `file` in `directory` with `arguments` (each may be null), detached,
// with no console. Answers the process handle, which the caller closes, or
// null; reports nothing itself beyond a memory failure.
HANDLE launch_process(const char* directory, const char* file, const char* arguments);
