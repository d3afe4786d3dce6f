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
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, directory,
                        &startup, &info)) {
        return -1;
    }
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
