// A sample add-on installer. It installs nothing: it records that it ran
// and with what command line in "addons-ran.log" beside itself, and ends
// with the exit code written in "<its file name>.exitcode" beside itself
// (0 when there is none), so that a restart request can be staged.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Its own path read wide: its folder may have a name the system's code
    // page cannot spell.
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    wchar_t directory[MAX_PATH];
    std::wcscpy(directory, path);
    wchar_t* slash = std::wcsrchr(directory, L'\\');
    if (slash == nullptr) return 1;
    slash[1] = 0;

    wchar_t log[MAX_PATH + 32];
    std::swprintf(log, sizeof log / sizeof log[0], L"%lsaddons-ran.log", directory);
    if (FILE* f = _wfopen(log, L"ab")) {
        std::fprintf(f, "%s\n", GetCommandLineA());
        std::fclose(f);
    }

    wchar_t code_file[MAX_PATH + 16];
    std::swprintf(code_file, sizeof code_file / sizeof code_file[0], L"%ls.exitcode", path);
    unsigned long code = 0;
    if (FILE* f = _wfopen(code_file, L"rb")) {
        char text[32] = {};
        if (std::fgets(text, sizeof text, f) != nullptr) code = std::strtoul(text, nullptr, 0);
        std::fclose(f);
    }
    return static_cast<int>(code);
}
