#include "registration/shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "common/text.h"
#include "common/vendor.h"
#include "payload/extract.h"
#include "registration/compositions.h"
#include "registration/keys.h"
#include "registration/special_folders.h"

namespace {

// Defined here rather than taken from libuuid: the setup program links no
// static libraries beyond zlib.
constexpr GUID kClsidShellLink = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidShellLinkA = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kIidPersistFile = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Wide characters MultiByteToWideChar may write, terminator included; a
// longer link path does not fit and the link fails.
constexpr int kLinkPathCapacity = 260;
constexpr unsigned kWidePathBlockSize = 4002;

constexpr const char* kWebSiteName = "Quenvale Tonvaro website";

constexpr const char* kLinkFailure = "Unable to create link to ";
constexpr const char* kInProgramsMenu = " in the programs menu.";
constexpr const char* kOnDesktop = " on the desktop.";
constexpr const char* kOnQuickLaunch = " on the Quicklaunch bar.";


int make_link(const LinkEntry& entry) {
    return create_shell_link(entry.description, entry.target, 0, g_setup.LinkFolder,
                             entry.link_file);
}

void report_link_failure(const char* name, const char* place) {
    show_error3(kLinkFailure, name, place, kMessageError);
}

int is_ticked(HWND box) {
    return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

// LinkFolder := the Start-menu group, with its trailing separator.
int find_programs_group() {
    char* const folder = g_setup.LinkFolder;
    char* const limit = folder + kPathBufferSize;
    char* end = nullptr;
    if (get_programs_folder(folder)) end = append_product_folder(folder, limit);
    if (end != nullptr) end = ensure_trailing_separator_within(folder, limit);
    return end != nullptr ? 1 : 0;
}

// A folder lookup that fails leaves the folder unnamed; the link that
// follows then fails with its own message.
int fill_folder(int found, const LinkEntry& entry) {
    if (!found) {
        g_setup.LinkFolder[0] = 0;
        return 0;
    }
    create_directory_chain(g_setup.LinkFolder);
    return make_link(entry);
}

int write_all(HANDLE file, const char* bytes, DWORD count) {
    DWORD written = 0;
    return WriteFile(file, bytes, count, &written, nullptr) && written == count ? 1 : 0;
}

// Sets everything but the file the link is saved to, which is composed in
// ScratchPath after the target path there has been handed over.
int describe_link(IShellLinkA* link, const char* description, const char* target_file,
                  int icon_index) {
    char* const scratch = g_setup.ScratchPath;
    if (compose_in_folder(scratch, scratch + kPathBufferSize, g_setup.DestinationDir, target_file,
                          "") == nullptr) {
        return 0;
    }
    link->SetPath(scratch);
    link->SetDescription(description);
    link->SetWorkingDirectory(g_setup.DestinationDir);
    link->SetArguments("");
    link->SetShowCmd(SW_SHOW);
    if (icon_index != -1) link->SetIconLocation(scratch, icon_index);
    return 1;
}

int save_link(IShellLinkA* link, const char* folder, const char* link_file) {
    char* const scratch = g_setup.ScratchPath;
    if (compose_in_folder(scratch, scratch + kPathBufferSize, folder, link_file, "") == nullptr) {
        return 0;
    }
    IPersistFile* file = nullptr;
    if (link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file)) != S_OK) return 0;
    int ok = 0;
    WCHAR* wide = static_cast<WCHAR*>(alloc_or_report(kWidePathBlockSize));
    if (wide != nullptr) {
        if (MultiByteToWideChar(CP_ACP, 0, scratch, -1, wide, kLinkPathCapacity) != 0) {
            ok = file->Save(wide, TRUE) == S_OK ? 1 : 0;
        }
        release_block(wide);
    }
    file->Release();
    return ok;
}

}  // namespace

int create_shell_link(const char* description, const char* target_file, int icon_index,
                      const char* folder, const char* link_file) {
    IShellLinkA* link = nullptr;
    if (g_setup.co_create_instance == nullptr ||
        g_setup.co_create_instance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA,
                                   reinterpret_cast<void**>(&link)) != S_OK) {
        return 0;
    }
    const int ok = describe_link(link, description, target_file, icon_index) &&
                           save_link(link, folder, link_file)
                       ? 1
                       : 0;
    link->Release();
    return ok;
}

int create_url_shortcut(const char* folder, const char* name, const char* address) {
    char* const scratch = g_setup.ScratchPath;
    if (compose_in_folder(scratch, scratch + kPathBufferSize, folder, name, ".url") == nullptr) {
        return 0;
    }
    HANDLE file = CreateFileA(scratch, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const int ok = write_all(file, kUrlHeader, sizeof kUrlHeader - 1) &&
                           write_all(file, address, text_length(address))
                       ? 1
                       : 0;
    CloseHandle(file);
    return ok;
}

int create_shortcuts() {
    const int want_desktop = is_ticked(g_setup.desktop_box);
    const int want_quick_launch = is_ticked(g_setup.quick_launch_box);

    if (!fill_folder(find_programs_group(), kPlayerLink)) {
        report_link_failure(kPlayerFile, kInProgramsMenu);
        return 0;
    }
    if (!make_link(kHelpLink)) {
        report_link_failure(kHelpFile, kInProgramsMenu);
        return 0;
    }
    if (!create_url_shortcut(g_setup.LinkFolder, kWebSiteShortcut, kProductPage)) {
        report_link_failure(kWebSiteName, kInProgramsMenu);
    }
    if (!make_link(kUninstallerLink)) {
        report_link_failure(kUninstallerFile, kInProgramsMenu);
        return 0;
    }
    if (want_desktop && !fill_folder(get_desktop_folder(g_setup.LinkFolder), kPlayerLink)) {
        report_link_failure(kPlayerFile, kOnDesktop);
        return 0;
    }
    if (want_quick_launch &&
        !fill_folder(get_quick_launch_folder(g_setup.LinkFolder), kQuickLaunchLink)) {
        report_link_failure(kPlayerFile, kOnQuickLaunch);
        return 0;
    }
    return 1;
}
