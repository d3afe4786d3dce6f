#pragma once
// The functions of shell32.dll, comctl32.dll, version.dll and ole32.dll that
// the setup program and the uninstaller call, taken from the copies in the
// system directory. Imported, these DLLs would be searched for beside the
// program first wherever they are not known DLLs (version.dll is not one on
// Windows 7 and later, comctl32 never is, Windows 95 keeps no such list), so
// a download folder holding a planted one would run its code.
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
// The NT family's shell only: see common/system_paths.h.
BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path);
HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list);
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT show);

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID id, LPUNKNOWN outer, DWORD context, REFIID interface_id,
                         LPVOID* object);

}  // namespace system_dll
