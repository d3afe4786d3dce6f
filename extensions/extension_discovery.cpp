// Finding add-on installers beside the setup program and reading what their
// version resources say about them.
#include <windows.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/system_dlls.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "extensions/add_on_rules.h"
#include "extensions/extension_list.h"
#include "extensions/item_text.h"

namespace {

constexpr const char* kCandidatePattern = "*.exe";
constexpr const char* kTranslationQuery = "\\VarFileInfo\\Translation";
constexpr const char* kFixedRecordQuery = "\\";
// The eight zeros are the block name, overwritten for each translation.
constexpr const char kProductNameQuery[] = "\\StringFileInfo\\00000000\\ProductName";
constexpr const char kPrivateBuildQuery[] = "\\StringFileInfo\\00000000\\PrivateBuild";
constexpr const char kCommentsQuery[] = "\\StringFileInfo\\00000000\\Comments";
constexpr unsigned kBlockNameOffset = 16;
constexpr unsigned kFixedRecordSize = 52;  // the whole VS_FIXEDFILEINFO

struct TranslationQueries {
    char product_name[sizeof kProductNameQuery];
    char private_build[sizeof kPrivateBuildQuery];
    char comments[sizeof kCommentsQuery];
};

void name_translation(TranslationQueries* queries, unsigned language, unsigned code_page) {
    copy_text(queries->product_name, kProductNameQuery);
    copy_text(queries->private_build, kPrivateBuildQuery);
    copy_text(queries->comments, kCommentsQuery);
    write_translation_digits(queries->product_name + kBlockNameOffset, language, code_page);
    write_translation_digits(queries->private_build + kBlockNameOffset, language, code_page);
    write_translation_digits(queries->comments + kBlockNameOffset, language, code_page);
}

// The string at query, or null when the resource has none or an empty one.
const char* query_string(void* block, const char* query) {
    void* value = nullptr;
    UINT length = 0;
    if (!system_dll::VerQueryValueA(block, query, &value, &length) || value == nullptr ||
        length == 0) {
        return nullptr;
    }
    return static_cast<const char*>(value);
}

void examine_translations(void* block, const char* path) {
    void* table = nullptr;
    UINT length = 0;
    if (!system_dll::VerQueryValueA(block, kTranslationQuery, &table, &length) ||
        table == nullptr) {
        return;
    }
    const WORD* words = static_cast<const WORD*>(table);
    const UINT entries = length / 4;
    for (UINT i = 0; i < entries; ++i) {
        TranslationQueries queries;
        name_translation(&queries, words[2 * i], words[2 * i + 1]);
        const char* private_build = query_string(block, queries.private_build);
        const char* comments = query_string(block, queries.comments);
        const char* product_name = query_string(block, queries.product_name);
        if (product_name == nullptr) continue;
        if (carries_extension_marker(private_build != nullptr ? private_build : "")) {
            add_or_replace_extension(product_name, comments != nullptr ? comments : "", path);
        }
    }
}

}  // namespace

void discover_extensions() {
    char* const path = g_setup.ModulePath;
    const char* const limit = path + kPathBufferSize;
    if (get_module_path(g_setup.module_instance, path, kPathCapacity) == 0) return;
    char* name = const_cast<char*>(after_last_separator(path));
    if (name == path) return;
    if (copy_text_within(name, limit, kCandidatePattern) == nullptr) return;
    WIN32_FIND_DATAA found;
    HANDLE search = find_first_file(path, &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        if (copy_text_within(name, limit, found.cFileName) == nullptr) continue;
        examine_candidate(path);
    } while (find_next_file(search, &found));
    FindClose(search);
}

void examine_candidate(const char* path) {
    DWORD ignored = 0;
    const DWORD size = system_dll::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return;
    void* block = alloc_or_report(size);
    if (block == nullptr) return;
    if (system_dll::GetFileVersionInfoA(path, 0, size, block)) examine_translations(block, path);
    release_block(block);
}

int read_file_version(const char* path, unsigned* most_significant, unsigned* least_significant) {
    DWORD ignored = 0;
    const DWORD size = system_dll::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0) return 0;
    void* block = alloc_or_report(size);
    if (block == nullptr) return -1;
    int answer = 0;
    void* value = nullptr;
    UINT length = 0;
    if (system_dll::GetFileVersionInfoA(path, 0, size, block) &&
        system_dll::VerQueryValueA(block, kFixedRecordQuery, &value, &length) && value != nullptr &&
        length >= kFixedRecordSize) {
        const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        *most_significant = fixed->dwFileVersionMS;
        *least_significant = fixed->dwFileVersionLS;
        answer = 1;
    }
    release_block(block);
    return answer;
}

int read_creation_time(const char* path, FILETIME* creation) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const int answer = GetFileTime(file, creation, nullptr, nullptr) ? 1 : 0;
    CloseHandle(file);
    return answer;
}
