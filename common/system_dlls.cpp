#include "common/system_dlls.h"

#include <shellapi.h>

#include "common/probes.h"

namespace {

// Resolved on first use and kept: the libraries stay loaded for the
// program's life.
template <typename Entry>
Entry resolve(Entry* cache, const char* library, const char* name) {
    if (*cache == nullptr) {
        HMODULE module = load_system_library(library);
        if (module != nullptr) {
            *cache = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        }
    }
    return *cache;
}

#define SYSTEM_ENTRY(library, name)                                   \
    static decltype(&::name) entry = nullptr;                         \
    const decltype(&::name) function = resolve(&entry, library, #name)

constexpr const char* kVersion = "version.dll";
constexpr const char* kCommonControls = "comctl32.dll";
constexpr const char* kShell = "shell32.dll";
constexpr const char* kOle = "ole32.dll";

}  // namespace

namespace system_dll {

DWORD GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    SYSTEM_ENTRY(kVersion, GetFileVersionInfoSizeA);
    return function != nullptr ? function(file, handle) : 0;
}

BOOL GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID block) {
    SYSTEM_ENTRY(kVersion, GetFileVersionInfoA);
    return function != nullptr ? function(file, handle, size, block) : FALSE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR query, LPVOID* value, PUINT length) {
    SYSTEM_ENTRY(kVersion, VerQueryValueA);
    return function != nullptr ? function(block, query, value, length) : FALSE;
}

void InitCommonControls() {
    SYSTEM_ENTRY(kCommonControls, InitCommonControls);
    if (function != nullptr) function();
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
    SYSTEM_ENTRY(kCommonControls, ImageList_Create);
    return function != nullptr ? function(cx, cy, flags, initial, grow) : nullptr;
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
    SYSTEM_ENTRY(kCommonControls, ImageList_ReplaceIcon);
    return function != nullptr ? function(list, index, icon) : -1;
}

LPITEMIDLIST SHBrowseForFolderA(LPBROWSEINFOA info) {
    SYSTEM_ENTRY(kShell, SHBrowseForFolderA);
    return function != nullptr ? function(info) : nullptr;
}

HRESULT SHGetMalloc(IMalloc** allocator) {
    SYSTEM_ENTRY(kShell, SHGetMalloc);
    return function != nullptr ? function(allocator) : E_FAIL;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, LPSTR path) {
    SYSTEM_ENTRY(kShell, SHGetPathFromIDListA);
    return function != nullptr ? function(list, path) : FALSE;
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path) {
    SYSTEM_ENTRY(kShell, SHGetPathFromIDListW);
    return function != nullptr ? function(list, path) : FALSE;
}

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list) {
    SYSTEM_ENTRY(kShell, SHGetSpecialFolderLocation);
    return function != nullptr ? function(owner, folder, list) : E_FAIL;
}

// 0 is below the 32 that separates errors from success.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT show) {
    SYSTEM_ENTRY(kShell, ShellExecuteA);
    return function != nullptr ? function(owner, verb, file, parameters, directory, show)
                               : nullptr;
}

HRESULT CoInitialize(LPVOID reserved) {
    SYSTEM_ENTRY(kOle, CoInitialize);
    return function != nullptr ? function(reserved) : E_FAIL;
}

void CoUninitialize() {
    SYSTEM_ENTRY(kOle, CoUninitialize);
    if (function != nullptr) function();
}

HRESULT CoCreateInstance(REFCLSID id, LPUNKNOWN outer, DWORD context, REFIID interface_id,
                         LPVOID* object) {
    SYSTEM_ENTRY(kOle, CoCreateInstance);
    return function != nullptr ? function(id, outer, context, interface_id, object)
                               : REGDB_E_CLASSNOTREG;
}

}  // namespace system_dll
