#include "common/system_paths.h"

#include <cstring>

#include "common/path_spelling.h"
#include "common/probes.h"
#include "common/system_dlls.h"
#include "common/text.h"

namespace {

// The wide functions, in the order of kWideNames: KERNEL32's, then the
// last one USER32's.
struct WideEntries {
    decltype(&::WideCharToMultiByte) to_multi_byte;
    decltype(&::GetShortPathNameW) short_path_name;
    decltype(&::GetModuleFileNameW) module_file_name;
    decltype(&::GetCurrentDirectoryW) current_directory;
    decltype(&::GetTempPathW) temp_path;
    decltype(&::ExpandEnvironmentStringsW) expand_strings;
    decltype(&::FindFirstFileW) find_first;
    decltype(&::FindNextFileW) find_next;
    decltype(&::GetWindowTextW) window_text;
};

constexpr const char* kWideNames[] = {
    "WideCharToMultiByte",  "GetShortPathNameW", "GetModuleFileNameW",
    "GetCurrentDirectoryW", "GetTempPathW",      "ExpandEnvironmentStringsW",
    "FindFirstFileW",       "FindNextFileW",     "GetWindowTextW"};
constexpr int kWideCount = sizeof kWideNames / sizeof kWideNames[0];
static_assert(sizeof(WideEntries) == kWideCount * sizeof(FARPROC), "one entry per name");

// Zero until first use: no constructor runs before the entry point. The
// buffers are the program's own (one thread, and a path is spelled before
// the next one is asked for); in .bss they cost no bytes of the file.
union {
    WideEntries named;
    FARPROC all[kWideCount];
} g_entries;
int g_state;  // 0 not looked up, 1 wide, 2 ANSI
wchar_t g_long[kPathBufferSize];
wchar_t g_short[kPathBufferSize];
wchar_t g_round_trip[kPathBufferSize];
char g_spelled[kPathBufferSize];
WIN32_FIND_DATAW g_found;

const WideEntries& w() { return g_entries.named; }

// A look-alike ("ł" as "l") uses no default character but names another
// file: only bytes that convert back to the same characters are exact.
int to_ansi(const wchar_t* text, int count, char* out, int capacity) {
    if (count == 0) return 0;
    if (capacity <= 0) return -1;
    const int n = w().to_multi_byte(CP_ACP, 0, text, count, out, capacity, nullptr, nullptr);
    if (n <= 0 || MultiByteToWideChar(CP_ACP, 0, out, n, g_round_trip, kPathBufferSize) != count ||
        std::memcmp(g_round_trip, text, static_cast<unsigned>(count) * sizeof(wchar_t)) != 0) {
        return -1;
    }
    return n;
}

// The wide path in g_long, spelled into path: as it is, or with the short
// names of the components the code page would lose. n is the length the
// system answered: 0, or one that filled the buffer (cut, perhaps without
// its terminator), leaves nothing to spell.
int spell(DWORD n, char* path, DWORD capacity) {
    if (n == 0 || n >= kPathBufferSize) return 0;
    const wchar_t* short_path = nullptr;
    while (spell_path(path, path + capacity, g_long, short_path, to_ansi) == nullptr) {
        if (short_path != nullptr) return 0;
        const DWORD s = w().short_path_name(g_long, g_short, kPathBufferSize);
        if (s == 0 || s >= kPathBufferSize) return 0;
        short_path = g_short;
    }
    return 1;
}

// The GetCurrentDirectoryA contract for a path read wide: n units in g_long.
DWORD hand_over(DWORD n, DWORD capacity, char* path) {
    if (!spell(n, g_spelled, kPathBufferSize)) return 0;
    const DWORD length = text_length(g_spelled);
    if (capacity <= length) return length + 1;
    copy_text(path, g_spelled);
    return length;
}

// The found file's exact name into found; 0 when it has none.
int take_found(WIN32_FIND_DATAA* found) {
    found->dwFileAttributes = g_found.dwFileAttributes;
    const wchar_t* short_name =
        g_found.cAlternateFileName[0] != 0 ? g_found.cAlternateFileName : nullptr;
    return spell_path(found->cFileName, found->cFileName + sizeof found->cFileName,
                      g_found.cFileName, short_name, to_ansi) != nullptr
               ? 1
               : 0;
}

}  // namespace

int wide_names() {
    if (g_state == 0) {
        g_state = 2;
        // The Windows 95 family's KERNEL32 lacks most of them, or has stubs
        // that fail: there names are ANSI anyway.
        if (is_nt_platform()) {
            HMODULE module = GetModuleHandleA("kernel32.dll");
            int i = 0;
            while (i < kWideCount &&
                   (g_entries.all[i] = GetProcAddress(module, kWideNames[i])) != nullptr) {
                if (++i == kWideCount - 1) module = GetModuleHandleA("user32.dll");
            }
            if (i == kWideCount) g_state = 1;
        }
    }
    return g_state == 1;
}

DWORD get_module_path(HMODULE module, char* path, DWORD capacity) {
    if (wide_names()) {
        return spell(w().module_file_name(module, g_long, kPathBufferSize), path, capacity)
                   ? text_length(path)
                   : 0;
    }
    const DWORD n = GetModuleFileNameA(module, path, capacity);
    // A name cut at the capacity is not terminated on every system.
    if (n == 0 || n >= capacity) return 0;
    path[n] = 0;
    return n;
}

DWORD spelled_current_directory(DWORD capacity, char* path) {
    return hand_over(w().current_directory(kPathBufferSize, g_long), capacity, path);
}

DWORD spelled_temp_path(DWORD capacity, char* path) {
    return hand_over(w().temp_path(kPathBufferSize, g_long), capacity, path);
}

int get_path_from_id_list(LPCITEMIDLIST list, char* path) {
    if (!wide_names()) return system_dll::SHGetPathFromIDListA(list, path) ? 1 : 0;
    // The shell writes at most MAX_PATH characters and a terminator, well
    // within the buffer: a length of MAX_PATH stands for any of them.
    return system_dll::SHGetPathFromIDListW(list, g_long) && spell(MAX_PATH, path, kPathBufferSize);
}

DWORD spelled_environment_path(const char* text, char* path, DWORD capacity) {
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, g_short, kPathBufferSize) == 0) return 0;
    // Both n and the answer count the terminator; hand_over's length does not.
    const DWORD n = w().expand_strings(g_short, g_long, kPathBufferSize);
    const DWORD length = n != 0 ? hand_over(n - 1, capacity, path) : 0;
    return length != 0 && length < capacity ? length + 1 : length;
}

HANDLE find_first_file(const char* pattern, WIN32_FIND_DATAA* found) {
    if (!wide_names()) return FindFirstFileA(pattern, found);
    // A pattern in a PathBuffer always has room here.
    MultiByteToWideChar(CP_ACP, 0, pattern, -1, g_long, kPathBufferSize);
    HANDLE search = w().find_first(g_long, &g_found);
    if (search != INVALID_HANDLE_VALUE && !take_found(found) && !find_next_file(search, found)) {
        FindClose(search);
        search = INVALID_HANDLE_VALUE;
    }
    return search;
}

BOOL find_next_file(HANDLE search, WIN32_FIND_DATAA* found) {
    if (!wide_names()) return FindNextFileA(search, found);
    while (w().find_next(search, &g_found)) {
        if (take_found(found)) return TRUE;
    }
    return FALSE;
}

int typed_text_is_exact(HWND field) {
    return w().window_text(field, g_long, kPathBufferSize) != 0 &&
           spell_path(g_spelled, g_spelled + kPathBufferSize, g_long, nullptr, to_ansi) != nullptr;
}
