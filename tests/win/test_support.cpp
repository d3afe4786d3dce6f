#include "tests/win/test_support.h"

#include <cstdio>

#include "common/globals.h"
#include "tests/win/message_recorder.h"

std::string windows_path(const char* path) {
    std::string out = path;
    if (out.empty() || out[0] != '/') return out;
    out = "Z:" + out;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

std::string make_scratch_directory(const char* tag) {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    for (unsigned n = GetTickCount();; ++n) {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%stonvaro-%s-%u", base, tag, n);
        if (CreateDirectoryA(path, nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
    }
}

std::string read_file(const std::string& path) {
    std::string content;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return content;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
    std::fclose(f);
    return content;
}

bool write_file(const std::string& path, const std::string& content) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return std::fclose(f) == 0 && ok;
}

long run_and_wait(const std::string& command_line, const char* directory) {
    std::string command = command_line;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Wine has been seen to refuse a start now and then while other
    // processes of the prefix come and go; a second try tells that apart
    // from a program that cannot start at all.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 directory, &startup, &info) != 0;
        if (!started) {
            std::fprintf(stderr, "run_and_wait: cannot start %s (error %lu)\n", command_line.c_str(),
                         GetLastError());
            Sleep(200);
        }
    }
    if (!started) return -1;
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    return static_cast<long>(code);
}

void reset_setup_globals() {
    g_setup = SetupGlobals{};
    g_setup.process_heap = GetProcessHeap();
    g_setup.module_instance = GetModuleHandleA(nullptr);
    reset_messages();
}

std::set<std::string> entries_of(const std::string& directory) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string current_directory() {
    char path[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, path);
    return path;
}

bool read_only_binds(const std::string& directory) {
    const std::string probe = directory + "\\read-only-probe";
    if (!write_file(probe, "x")) return false;
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool binds = file == INVALID_HANDLE_VALUE;
    if (!binds) CloseHandle(file);
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(probe.c_str());
    return binds;
}
