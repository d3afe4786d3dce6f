#include "install/installer_copy.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "common/system_dlls.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "install/installer_product.h"

namespace {

constexpr const char* kInstallerDirectory = "Installer";
constexpr const char* kInstallerDirectoryPrefix = "Installer\\";
constexpr const char* kCopyPattern = "*.exe";
constexpr const char* kCreateDirectoryFirst = "Unable to create directory '";
constexpr const char* kCreateDirectoryThird = "'";

void clear_read_only(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
}

// Which file a path names, whatever its spelling (short names, "/", letter
// case, a second link): the fields of its information from its last write
// time to its index. Size and write time back up the index, which is
// weaker on FAT volumes.
typedef BY_HANDLE_FILE_INFORMATION FileIdentity;

int identify_file(const char* path, FileIdentity* identity) {
    // No access asked for: a running program's image can still be opened.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // The Windows 95 family knows no FILE_SHARE_DELETE and refuses it.
        file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return 0;
    const int known = GetFileInformationByHandle(file, identity) ? 1 : 0;
    CloseHandle(file);
    return known;
}

int same_identity(const FileIdentity& a, const FileIdentity& b) {
    const unsigned first = offsetof(FileIdentity, ftLastWriteTime);
    const unsigned end = offsetof(FileIdentity, nFileIndexLow) + sizeof a.nFileIndexLow;
    return std::memcmp(reinterpret_cast<const char*>(&a) + first,
                       reinterpret_cast<const char*>(&b) + first, end - first) == 0;
}

// The running program's full path into ScratchPath; 0 when it is missing or
// did not fit.
int running_program_path() {
    return get_module_path(nullptr, g_setup.ScratchPath, kPathCapacity) != 0 ? 1 : 0;
}

int running_program_identity(FileIdentity* identity) {
    return running_program_path() && identify_file(g_setup.ScratchPath, identity);
}

int has_installer_product_name(const void* block) {
    void* value = nullptr;
    UINT length = 0;
    if (!system_dll::VerQueryValueA(block, kTranslationQuery, &value, &length) ||
        value == nullptr) {
        return 0;
    }
    const unsigned char* translations = static_cast<const unsigned char*>(value);
    const unsigned count = length / 4;
    char query[kProductNameQuerySize];
    int match = 0;
    for (unsigned i = 0; i < count && !match; ++i) {
        const unsigned char* t = translations + 4 * i;
        const unsigned translation = static_cast<unsigned>(t[0]) |
                                     static_cast<unsigned>(t[1]) << 8 |
                                     static_cast<unsigned>(t[2]) << 16 |
                                     static_cast<unsigned>(t[3]) << 24;
        compose_product_name_query(query, translation);
        void* text = nullptr;
        UINT text_size = 0;
        if (system_dll::VerQueryValueA(block, query, &text, &text_size) &&
            text != nullptr && text_size != 0) {
            match = names_installer_product(static_cast<const char*>(text));
        }
    }
    return match;
}

}  // namespace

int ensure_directory(const char* name) {
    if (CreateDirectoryA(name, nullptr)) return 1;
    if (SetCurrentDirectoryA(name)) {
        SetCurrentDirectoryA("..");
        return 1;
    }
    show_error3(kCreateDirectoryFirst, name, kCreateDirectoryThird, kMessageError);
    return 0;
}

int is_installer_file(const char* name) {
    DWORD ignored = 0;
    const DWORD size = system_dll::GetFileVersionInfoSizeA(name, &ignored);
    if (size == 0) return 0;
    void* block = alloc_or_report(size);
    if (block == nullptr) return 0;
    int match = 0;
    if (system_dll::GetFileVersionInfoA(name, 0, size, block)) {
        match = has_installer_product_name(block);
    }
    release_block(block);
    return match;
}

void remove_stale_installer_copies() {
    SetCurrentDirectoryA(g_setup.DestinationDir);
    if (!SetCurrentDirectoryA(kInstallerDirectory)) return;

    // A reinstallation may run from the copy in this very directory: that
    // one must survive its own clean-up.
    FileIdentity running;
    const int running_known = running_program_identity(&running);

    WIN32_FIND_DATAA found;
    HANDLE search = find_first_file(kCopyPattern, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (!is_installer_file(found.cFileName)) continue;
        FileIdentity candidate;
        if (running_known && identify_file(found.cFileName, &candidate) &&
            same_identity(candidate, running)) {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            SetFileAttributesA(found.cFileName, found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        }
        DeleteFileA(found.cFileName);
    } while (find_next_file(search, &found));
    FindClose(search);
}

int copy_installer() {
    SetCurrentDirectoryA(g_setup.DestinationDir);
    if (!ensure_directory(kInstallerDirectory)) return 0;
    if (!running_program_path()) return 0;

    char* const path = g_setup.InstallerCopyPath;
    const char* const limit = path + kPathBufferSize;
    char* end = copy_text_within(path, limit, g_setup.DestinationDir);
    if (end != nullptr) end = ensure_trailing_separator_within(path, limit);
    if (end != nullptr) end = copy_text_within(end, limit, kInstallerDirectoryPrefix);
    if (end != nullptr) end = copy_text_within(end, limit, after_last_separator(g_setup.ScratchPath));
    if (end == nullptr) {
        // No half path is left for the registration to record.
        path[0] = 0;
        return 0;
    }

    // Started from the copy itself: it is already in place and is left
    // untouched; copying a running image onto itself would fail or truncate it.
    FileIdentity running;
    FileIdentity target;
    if (identify_file(g_setup.ScratchPath, &running) && identify_file(path, &target) &&
        same_identity(running, target)) {
        return 1;
    }
    clear_read_only(path);
    if (!CopyFileA(g_setup.ScratchPath, path, FALSE)) return 0;
    // The copy takes over the source's attributes.
    clear_read_only(path);
    return 1;
}
