#include "common/probes.h"

#include <shellapi.h>

#include "common/system_dlls.h"
#include "common/text.h"

namespace {

int read_version(OSVERSIONINFOA* info) {
    char* bytes = reinterpret_cast<char*>(info);
    for (unsigned i = 0; i < sizeof *info; ++i) bytes[i] = 0;
    info->dwOSVersionInfoSize = sizeof *info;
    return GetVersionExA(info) ? 1 : 0;
}

}  // namespace

int is_nt_platform() {
    OSVERSIONINFOA info;
    return read_version(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

int is_nt5_or_later() {
    OSVERSIONINFOA info;
    return read_version(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                   info.dwMajorVersion >= 5
               ? 1
               : 0;
}

HMODULE load_system_library(const char* name) {
    char path[MAX_PATH + 1];
    const UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    char* end = ensure_trailing_separator_within(path, path + sizeof path);
    if (end == nullptr || copy_text_within(end, path + sizeof path, name) == nullptr) return nullptr;
    // The altered search path makes the library's own imports come from the
    // system directory too, not from beside the setup program.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

int system_components_present() { return load_system_library("olepro32.dll") != nullptr ? 1 : 0; }

int open_in_shell(const char* address) {
    const INT_PTR r = reinterpret_cast<INT_PTR>(
        system_dll::ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32 ? 1 : 0;
}
