#include "product/deinstall/installed_tree.h"

#include <windows.h>

#include "common/globals.h"
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
    const unsigned base = text_length(directory);
    for (unsigned i = text_length(path); i > base; --i) {
        if (is_separator(path[i - 1])) {
            path[i - 1] = 0;
            RemoveDirectoryA(path);
        }
    }
}

}  // namespace

int holds_installer_copy(const char* directory) {
    static char pattern[kPathBufferSize];
    if (join_texts_within(pattern, pattern + sizeof pattern, directory, "Installer\\*.exe", nullptr) ==
        nullptr) {
        return 0;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int held = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        static char path[kPathBufferSize];
        if (join_texts_within(path, path + sizeof path, directory, "Installer\\", found.cFileName) !=
            nullptr) {
            held = is_installer_file(path);
        }
    } while (!held && FindNextFileA(search, &found));
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
    const DWORD n = GetTempPathA(sizeof temp, temp);
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
    unsigned length = text_length(path);
    while (length > 0 && is_separator(path[length - 1])) path[--length] = 0;
    if (!RemoveDirectoryA(path)) return;
    const unsigned product = text_length(kProductFolder);
    if (length <= product || !is_separator(path[length - product - 1]) ||
        !equals_ignore_case_n(path + length - product, kProductFolder, kWholeText)) {
        return;
    }
    // The maker folder: the product folder's first component.
    const char* inner = after_last_separator(kProductFolder);
    path[length - text_length(inner) - 1] = 0;
    RemoveDirectoryA(path);
}
