#include "product/deinstall/self_removal.h"

#include <cstring>

#include "common/probes.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "registration/keys.h"

namespace {

constexpr DWORD kOriginalWait = 30000;
constexpr const char* kTempPrefix = "QTU";

// The next line of a text after p, or null.
const char* next_line(const char* p) {
    while (*p != 0 && *p != '\n') ++p;
    return *p != 0 ? p + 1 : nullptr;
}

// A new folder under TEMP: GetTempFileNameA reserves a unique name as a
// file, which makes way for a folder of that name.
int make_private_folder(char* folder, DWORD capacity) {
    char temp[MAX_PATH + 1];
    const DWORD n = get_temp_path(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp || capacity < MAX_PATH) return 0;
    if (GetTempFileNameA(temp, kTempPrefix, 0, folder) == 0) return 0;
    DeleteFileA(folder);
    return CreateDirectoryA(folder, nullptr) ? 1 : 0;
}

// Appends "NUL=<short path>" to wininit.ini's [rename] section. The profile
// API would replace an earlier NUL line of another program, as every line
// of that section has the same key.
void add_wininit_line(const char* path) {
    char short_path[MAX_PATH];
    const DWORD s = GetShortPathNameA(path, short_path, sizeof short_path);
    if (s == 0 || s >= sizeof short_path) return;
    char ini[MAX_PATH + 16];
    const UINT w = GetWindowsDirectoryA(ini, MAX_PATH);
    if (w == 0 || w >= MAX_PATH) return;
    ini[w] = 0;
    char* const folder_end = ensure_trailing_separator_within(ini, ini + sizeof ini);
    if (folder_end == nullptr || copy_text_within(folder_end, ini + sizeof ini, "wininit.ini") == nullptr) {
        return;
    }

    static char old_text[32768];
    static char new_text[sizeof old_text + MAX_PATH + 32];
    DWORD old_length = 0;
    HANDLE file = CreateFileA(ini, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const BOOL read = ReadFile(file, old_text, sizeof old_text - 1, &old_length, nullptr);
        const DWORD size = GetFileSize(file, nullptr);
        CloseHandle(file);
        // A file too big to take whole is not rewritten: its end would be lost.
        if (!read || size != old_length) return;
    }
    old_text[old_length] = 0;
    char line[MAX_PATH + 8];
    if (join_texts_within(line, line + sizeof line, "NUL=", short_path, "\r\n") == nullptr) return;

    // After the section header's line, or a new section at the end.
    const char* section = nullptr;
    for (const char* p = old_text; p != nullptr && section == nullptr; p = next_line(p)) {
        if (equals_ignore_case_n(p, "[rename]", 8)) section = p;
    }
    const char* const limit = new_text + sizeof new_text;
    char* end = nullptr;
    if (section != nullptr) {
        const char* after = next_line(section);
        const DWORD head = after != nullptr ? static_cast<DWORD>(after - old_text) : old_length;
        std::memcpy(new_text, old_text, head);
        new_text[head] = 0;
        end = join_texts_within(new_text + head, limit, after != nullptr ? "" : "\r\n", line,
                                old_text + head);
    } else {
        const int ends_line = old_length == 0 || old_text[old_length - 1] == '\n';
        end = join_texts_within(new_text, limit, old_text, ends_line ? "" : "\r\n", "[rename]\r\n");
        if (end != nullptr) end = copy_text_within(end, limit, line);
    }
    if (end == nullptr) return;
    const DWORD length = static_cast<DWORD>(end - new_text);
    file = CreateFileA(ini, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, new_text, length, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int start_removal_copy(const char* original) {
    char folder[MAX_PATH + 1];
    if (!make_private_folder(folder, sizeof folder)) return 0;
    char copy[MAX_PATH + 32];
    char command[3 * MAX_PATH + 64];
    HANDLE self = nullptr;
    int copied = 0;
    int started = 0;
    // The copy keeps the uninstaller's file name, so that it is the same
    // program to the system (compatibility settings go by that name).
    if (join_texts_within(copy, copy + sizeof copy, folder, "\\", kUninstallerFile) != nullptr &&
        (copied = CopyFileA(original, copy, FALSE) ? 1 : 0) != 0 &&
        DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                        SYNCHRONIZE, TRUE, 0)) {
        // "copy" /remove "original" handle. A handle's value fits in 32 bits
        // on 64-bit Windows too: that is how 32- and 64-bit processes share them.
        const char* const limit = command + sizeof command;
        char* end = join_texts_within(command, limit, "\"", copy, "\" ");
        if (end != nullptr) end = join_texts_within(end, limit, kRemoveSwitch, " \"", original);
        if (end != nullptr) end = copy_text_within(end, limit, "\" ");
        if (end != nullptr) {
            end = write_decimal_within(end, limit,
                                       static_cast<unsigned>(reinterpret_cast<UINT_PTR>(self)));
        }
        STARTUPINFOA startup;
        std::memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        // Started in TEMP: a current directory inside the installation would
        // keep its folder from being removed.
        char temp[MAX_PATH + 1];
        const DWORD t = get_temp_path(sizeof temp, temp);
        if (end != nullptr && t > 0 && t < sizeof temp &&
            CreateProcessA(copy, command, nullptr, nullptr, TRUE, 0, nullptr, temp, &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            started = 1;
        }
    }
    if (self != nullptr) CloseHandle(self);
    if (!started) {
        if (copied) DeleteFileA(copy);
        RemoveDirectoryA(folder);
    }
    return started;
}

void wait_for_original(HANDLE process) {
    if (process == nullptr) return;
    WaitForSingleObject(process, kOriginalWait);
    CloseHandle(process);
}

void schedule_own_removal() {
    char self[MAX_PATH + 1];
    const DWORD n = get_module_path(nullptr, self, MAX_PATH);
    if (n == 0) return;
    char folder[MAX_PATH + 1];
    std::memcpy(folder, self, n + 1);
    const char* name = after_last_separator(folder);
    if (name == folder) return;
    folder[name - folder - 1] = 0;
    if (is_nt_platform()) {
        // Looked up here: the NT family's own, not to be counted on in the
        // Windows 95 family's KERNEL32, where an import would stop the start.
        const auto move = reinterpret_cast<decltype(&::MoveFileExA)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA")));
        if (move == nullptr) return;
        // The file first: the folder can only go once it is empty.
        move(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        move(folder, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    } else {
        add_wininit_line(self);
    }
}
