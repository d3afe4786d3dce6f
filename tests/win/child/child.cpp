// A program for the Windows tests to start. Without arguments, or with any
// other than those below, it writes its command line and current directory
// to the file named by TONVARO_CHILD_OUT and exits with TONVARO_CHILD_EXIT.
//   --probe        exit code: is_nt_platform + 2 * is_nt5_or_later
//   --components   exit code: system_components_present; writes the path
//                  of the olepro32.dll it loaded
//   --hold FILE    opens FILE (creating it) with no sharing, writes
//                  FILE.held, and keeps it open until FILE.release exists
//                  (two minutes at most); exit code 2 when it cannot open it
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/globals.h"
#include "common/probes.h"

namespace {

void write_out(const char* first, const char* second) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("TONVARO_CHILD_OUT", path, sizeof path) == 0) return;
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return;
    std::fprintf(f, "%s\n%s\n", first, second);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    g_setup.process_heap = GetProcessHeap();
    if (argc == 2 && std::strcmp(argv[1], "--probe") == 0) {
        return is_nt_platform() + 2 * is_nt5_or_later();
    }
    if (argc == 2 && std::strcmp(argv[1], "--components") == 0) {
        const int present = system_components_present();
        char path[MAX_PATH] = "";
        HMODULE module = GetModuleHandleA("olepro32.dll");
        if (module != nullptr) GetModuleFileNameA(module, path, sizeof path);
        write_out(path, "");
        return present;
    }
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
        HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 2;
        const std::string held = std::string(argv[2]) + ".held";
        const std::string release = std::string(argv[2]) + ".release";
        FILE* marker = std::fopen(held.c_str(), "wb");
        if (marker != nullptr) std::fclose(marker);
        for (int i = 0; i < 1200 && GetFileAttributesA(release.c_str()) == INVALID_FILE_ATTRIBUTES;
             ++i) {
            Sleep(100);
        }
        CloseHandle(file);
        return 0;
    }
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    write_out(GetCommandLineA(), directory);
    char code[16];
    if (GetEnvironmentVariableA("TONVARO_CHILD_EXIT", code, sizeof code) != 0) {
        return static_cast<int>(std::strtoul(code, nullptr, 0));
    }
    return 0;
}
