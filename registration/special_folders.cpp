#include "registration/special_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "common/globals.h"
#include "common/system_dlls.h"
#include "common/system_paths.h"
#include "common/text.h"

namespace {
constexpr const char* kQuickLaunchBelowAppData = "Microsoft\\Internet Explorer\\Quick Launch";
}  // namespace

int get_special_folder(char* path, int csidl) {
    LPITEMIDLIST list = nullptr;
    if (system_dll::SHGetSpecialFolderLocation(g_setup.wizard_window, csidl, &list) != S_OK) {
        return 0;
    }
    const int ok = get_path_from_id_list(list, path);
    IMalloc* shell_allocator = nullptr;
    if (system_dll::SHGetMalloc(&shell_allocator) == S_OK) {
        shell_allocator->Free(list);
        shell_allocator->Release();
    }
    return ok;
}

int get_programs_folder(char* path) { return get_special_folder(path, CSIDL_PROGRAMS); }

int get_desktop_folder(char* path) { return get_special_folder(path, CSIDL_DESKTOPDIRECTORY); }

int get_quick_launch_folder(char* path) {
    if (!get_special_folder(path, CSIDL_APPDATA)) return 0;
    const char* limit = path + kPathBufferSize;
    char* end = ensure_trailing_separator_within(path, limit);
    return end != nullptr && copy_text_within(end, limit, kQuickLaunchBelowAppData) != nullptr
               ? 1
               : 0;
}

int quick_launch_exists() {
    if (!get_quick_launch_folder(g_setup.ScratchPath)) return 0;
    if (!SetCurrentDirectoryA(g_setup.ScratchPath)) return 0;
    SetCurrentDirectoryA(g_setup.StartDir);
    return 1;
}
