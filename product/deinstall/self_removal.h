#pragma once
// An uninstaller cannot delete its own running image. The one the user
// starts copies itself into a folder of its own under TEMP, starts the copy
// with the switch below, the original's path and a handle on the original's
// process, and ends. The copy waits for that handle, does the work, deletes
// the original and has itself deleted at the next start of Windows.
#include <windows.h>

constexpr const char* kRemoveSwitch = "/remove";

// Starts the copy for `original` (this program). Answers 1 or 0; on 0
// nothing is left in TEMP.
int start_removal_copy(const char* original);
// Waits up to half a minute for the original's process to end.
void wait_for_original(HANDLE process);
// The running copy and its folder go at the next start of Windows: on the
// NT family by MoveFileExA, on the Windows 95 family by a line in the
// [rename] section of wininit.ini (which takes files only, so the empty
// folder stays there).
void schedule_own_removal();
