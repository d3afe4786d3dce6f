#include "product/deinstall/installed_tree.h"

#include <windows.h>

#include "common/globals.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "install/installer_copy.h"
#include "registration/keys.h"

namespace {

// Windows paths relative to the installation directory, in installation
// order; generated from payload.list by the build.
const char* const kInstalledFiles[] = {
#include "installed_files.inc"
};

// Made by the setup whatever the payload holds.
constexpr const char* kSetupFolders[] = {"Installer", "Plugins", "AddOns", "LangPacks", "Skins"};

constexpr int kRetries = 20;
constexpr DWORD kRetryInterval = 250;

int exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int delete_file(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 1;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    // The uninstaller that started us may take a moment to let go of its
    // image after its process has ended.
    const int tries =
        equals_ignore_case_n(after_last_separator(path), kUninstallerFile, kWholeText) ? kRetries : 1;
    for (int i = 0; i < tries; ++i) {
        if (DeleteFileA(path) || !exists(path)) return 1;
        Sleep(kRetryInterval);
    }
    return 0;
}

// "Skins\Dark\a.s4u" removes "Skins\Dark", then "Skins", when empty.
void remove_parent_folders(const char* directory, const char* entry) {
    static char path[kPathBufferSize];
    if (join_texts_within(path, path + sizeof path, directory, entry, nullptr) == nullptr) return;
    char* const base = path + text_length(directory);
    for (;;) {
        char* last = nullptr;
        for (char* p = base; *p != 0; p = next_character(p)) {
            if (is_separator(*p)) last = p;
        }
        if (last == nullptr) break;
        *last = 0;
        RemoveDirectoryA(path);
    }
}

// Where path's last components spell `folder`, or null. Found walking
// forward, so that only a whole separator character begins them.
const char* trailing_components(const char* path, const char* folder) {
    const char* const end = path + text_length(path);
    const unsigned length = text_length(folder);
    for (const char* p = path; *p != 0; p = next_character(p)) {
        if (is_separator(*p) && static_cast<unsigned>(end - p - 1) == length &&
            equals_ignore_case_n(p + 1, folder, kWholeText)) {
            return p + 1;
        }
    }
    return nullptr;
}

}  // namespace

int holds_installer_copy(const char* directory) {
    static char pattern[kPathBufferSize];
    if (join_texts_within(pattern, pattern + sizeof pattern, directory, "Installer\\*.exe", nullptr) ==
        nullptr) {
        return 0;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = find_first_file(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int held = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        static char path[kPathBufferSize];
        if (join_texts_within(path, path + sizeof path, directory, "Installer\\", found.cFileName) !=
            nullptr) {
            held = is_installer_file(path);
        }
    } while (!held && find_next_file(search, &found));
    FindClose(search);
    return held;
}

int remove_installed_files(const char* directory) {
    int left = 0;
    static char path[kPathBufferSize];
    for (const char* entry : kInstalledFiles) {
        if (join_texts_within(path, path + sizeof path, directory, entry, nullptr) == nullptr ||
            !delete_file(path)) {
            ++left;
        }
    }
    // The setup's own clean-up knows its copies by their version resource,
    // whatever their file names; it works relative to DestinationDir.
    copy_text(g_setup.DestinationDir, directory);
    remove_stale_installer_copies();
    char temp[MAX_PATH + 1];
    const DWORD n = get_temp_path(sizeof temp, temp);
    SetCurrentDirectoryA(n > 0 && n < sizeof temp ? temp : "\\");

    const int count = static_cast<int>(sizeof kInstalledFiles / sizeof kInstalledFiles[0]);
    for (int i = count - 1; i >= 0; --i) remove_parent_folders(directory, kInstalledFiles[i]);
    for (const char* folder : kSetupFolders) {
        if (join_texts_within(path, path + sizeof path, directory, folder, nullptr) != nullptr) {
            RemoveDirectoryA(path);
        }
    }
    remove_product_folder(directory);
    return left;
}

void remove_product_folder(const char* folder) {
    static char path[kPathBufferSize];
    if (copy_text_within(path, path + sizeof path, folder) == nullptr) return;
    path[trimmed_length(path)] = 0;
    if (!RemoveDirectoryA(path)) return;
    const char* const found = trailing_components(path, kProductFolder);
    if (found == nullptr) return;
    // The maker folder: the product folder's first component.
    path[found - path + (after_last_separator(kProductFolder) - kProductFolder) - 1] = 0;
    RemoveDirectoryA(path);
}
