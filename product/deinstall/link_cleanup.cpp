#include "product/deinstall/link_cleanup.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "common/system_dlls.h"
#include "common/text.h"
#include "common/vendor.h"
#include "product/deinstall/installed_tree.h"
#include "registration/keys.h"
#include "registration/special_folders.h"

namespace {

// The names the setup gives its links. A link of the same name that points
// elsewhere is someone else's and stays.
constexpr const char* kGroupLinks[] = {kPlayerLink.link_file, kHelpLink.link_file,
                                       kUninstallerLink.link_file};

int link_target(const char* link, char* target, int capacity) {
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link, -1, wide, MAX_PATH) == 0) return 0;
    IShellLinkA* shell_link = nullptr;
    if (system_dll::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&shell_link)) != S_OK) {
        return 0;
    }
    int ok = 0;
    IPersistFile* file = nullptr;
    if (shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)) == S_OK) {
        // No resolving: a link to a deleted target must not be searched for.
        ok = file->Load(wide, STGM_READ) == S_OK &&
             shell_link->GetPath(target, capacity, nullptr, SLGP_RAWPATH) == S_OK;
        file->Release();
    }
    shell_link->Release();
    return ok;
}

void remove_link_into(const char* folder, const char* name, const char* directory) {
    static char link[kPathBufferSize];
    if (join_texts_within(link, link + sizeof link, folder, "\\", name) == nullptr) return;
    static char target[MAX_PATH * 2];
    if (link_target(link, target, sizeof target) &&
        equals_ignore_case_n(target, directory, static_cast<int>(text_length(directory))) &&
        text_length(target) > text_length(directory)) {
        DeleteFileA(link);
    }
}

// Only the shortcut exactly as the setup writes it.
void remove_web_site_shortcut(const char* folder) {
    static char path[kPathBufferSize];
    char* const end = join_texts_within(path, path + sizeof path, folder, "\\", kWebSiteShortcut);
    if (end == nullptr || copy_text_within(end, path + sizeof path, ".url") == nullptr) return;
    char expected[256];
    const char* const expected_end =
        join_texts_within(expected, expected + sizeof expected, kUrlHeader, kProductPage, nullptr);
    if (expected_end == nullptr) return;
    const int expected_length = static_cast<int>(expected_end - expected);
    char content[sizeof expected];
    DWORD read = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const BOOL got = ReadFile(file, content, sizeof content, &read, nullptr);
    CloseHandle(file);
    if (got && static_cast<int>(read) == expected_length && std::memcmp(content, expected, read) == 0) {
        DeleteFileA(path);
    }
}

}  // namespace

void remove_links(const char* group, const char* directory, int owned) {
    if (group[0] != 0) {
        for (const char* name : kGroupLinks) remove_link_into(group, name, directory);
        if (owned) {
            remove_web_site_shortcut(group);
            remove_product_folder(group);
        }
    }
    static char folder[kPathBufferSize];
    if (get_desktop_folder(folder)) remove_link_into(folder, kPlayerLink.link_file, directory);
    if (get_quick_launch_folder(folder)) remove_link_into(folder, kQuickLaunchLink.link_file, directory);
}
