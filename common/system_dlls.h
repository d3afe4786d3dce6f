#pragma once
// The functions of shell32.dll, comctl32.dll and version.dll that the setup
// program calls, taken from the copies in the system directory. Imported,
// these DLLs would be searched for beside setup.exe first (none of them is a
// known DLL everywhere: version.dll is not on Windows 7 and later, comctl32
// never is), so a download folder holding a planted one would run its code.
// Each function answers what the real one answers on failure when its
// library or entry cannot be found.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

namespace system_dll {

DWORD GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID block);
BOOL VerQueryValueA(LPCVOID block, LPCSTR query, LPVOID* value, PUINT length);

void InitCommonControls();
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);

LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info);
HRESULT SHGetMalloc(IMalloc** allocator);
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path);
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list);
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT show);

}  // namespace system_dll
