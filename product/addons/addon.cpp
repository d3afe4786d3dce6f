// A sample add-on installer. It installs nothing: it records that it ran
// and with what command line in "addons-ran.log" beside itself, and ends
// with the exit code written in "<its file name>.exitcode" beside itself
// (0 when there is none), so that a restart request can be staged.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char directory[MAX_PATH];
    std::strcpy(directory, path);
    // Walked by characters: on Japanese and Chinese Windows the second byte
    // of a character in a folder's name can be a backslash.
    char* slash = nullptr;
    for (char* p = directory; *p != 0; p = CharNextA(p)) {
        if (*p == '\\') slash = p;
    }
    if (slash == nullptr) return 1;
    slash[1] = 0;

    char log[MAX_PATH + 32];
    std::snprintf(log, sizeof log, "%saddons-ran.log", directory);
    if (FILE* f = std::fopen(log, "ab")) {
        std::fprintf(f, "%s\n", GetCommandLineA());
        std::fclose(f);
    }

    char code_file[MAX_PATH + 16];
    std::snprintf(code_file, sizeof code_file, "%s.exitcode", path);
    unsigned long code = 0;
    if (FILE* f = std::fopen(code_file, "rb")) {
        char text[32] = {};
        if (std::fgets(text, sizeof text, f) != nullptr) code = std::strtoul(text, nullptr, 0);
        std::fclose(f);
    }
    return static_cast<int>(code);
}
