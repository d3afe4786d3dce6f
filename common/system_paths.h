#pragma once
// Paths that the system hands out, as ANSI text that names them exactly.
// On the NT family a name can hold characters the system's code page
// cannot spell (a Cyrillic user name on a Western Windows): there each
// path is read in its wide form and spelled by common/path_spelling.h,
// with the short name of every component that the code page would lose; a
// path with no exact spelling fails. The Windows 95 family has no Unicode
// names and takes the ANSI functions as they are. The wide functions are
// looked up at run time, on the NT family only, so that every import is
// one that Windows 95 has; the ANSI ones that not every program imports
// are called from inline wrappers, so that a program imports only those
// it uses.
#include <windows.h>
#include <shlobj.h>

// 1 where names are wide (the NT family) and every wide function is there.
int wide_names();
DWORD spelled_current_directory(DWORD capacity, char* path);
DWORD spelled_temp_path(DWORD capacity, char* path);
DWORD spelled_environment_path(const char* text, char* path, DWORD capacity);

// The module's full path, its length answered; 0 when it is unknown, has
// no exact spelling or does not fit in capacity bytes (never a cut path).
DWORD get_module_path(HMODULE module, char* path, DWORD capacity);

// GetCurrentDirectoryA's and GetTempPathA's contract: with room, the path
// and its length; without, the size it needs, terminator included; 0 on
// failure, a path without an exact spelling included.
static inline DWORD get_current_directory(DWORD capacity, char* path) {
    return wide_names() ? spelled_current_directory(capacity, path)
                        : GetCurrentDirectoryA(capacity, path);
}

static inline DWORD get_temp_path(DWORD capacity, char* path) {
    return wide_names() ? spelled_temp_path(capacity, path) : GetTempPathA(capacity, path);
}

// SHGetPathFromIDListA into a PathBuffer: 1 or 0.
int get_path_from_id_list(LPCITEMIDLIST list, char* path);

// ExpandEnvironmentStringsA's contract, for a text that expands to the
// path of an existing folder (the user's profile).
static inline DWORD expand_environment_path(const char* text, char* path, DWORD capacity) {
    return wide_names() ? spelled_environment_path(text, path, capacity)
                        : ExpandEnvironmentStringsA(text, path, capacity);
}

// FindFirstFileA and FindNextFileA, but a name found is always one that
// opens the file: the long name where the code page spells it, else the
// short one; a file with neither is passed over. On the NT family only
// dwFileAttributes and cFileName are filled. FindClose ends the search.
HANDLE find_first_file(const char* pattern, WIN32_FIND_DATAA* found);
BOOL find_next_file(HANDLE search, WIN32_FIND_DATAA* found);

// GetWindowTextA for the path the user typed into field. The NT family's
// field holds Unicode: where the code page cannot spell it, the ANSI text
// would hold "?" or a look-alike ("ł" as "l") that names another folder,
// which the installation would make. There the answer is "?", a name that
// no folder can take, so that the destination fails to be made.
int typed_text_is_exact(HWND field);
static inline int get_typed_path(HWND field, char* path, int capacity) {
    const int n = GetWindowTextA(field, path, capacity);
    if (n == 0 || !wide_names() || typed_text_is_exact(field)) return n;
    path[0] = '?';
    path[1] = 0;
    return 1;
}
