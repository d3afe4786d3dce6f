// Zaphio.exe, the sample player. It plays nothing: it shows what it was
// asked to do and keeps the promises the setup program relies on — the
// signed main window, ending on WM_QUIT, the document switches and the icon
// order (see zaphio.rc).
//
// Switches for tests, before the others:
//   --ignore-quit   a player that hangs: WM_QUIT does not end it
//   --linger=MS     a slow player: after WM_QUIT the window stays MS ms
// With TONVARO_PLAYER_REPORT naming a file, each start appends one line
// "action<TAB>path<TAB>working directory", and each WM_QUIT "quit" or
// "quit-ignored".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kClassName[] = "QuenvaleTonvaroPlayer";
const char kTitle[] = "Quenvale Tonvaro";

// The setup program finds running players by these 16 bytes at the start of
// the window's extra bytes, read as four little-endian 32-bit values.
constexpr DWORD kSignature[4] = {0x519BF2A5u, 0x44132970u, 0x2E19E0B6u, 0x69D6FFD9u};
constexpr int kExtraBytes = 16;

struct Request {
    const char* action;       // for the report
    const char* description;  // for the window
    char path[MAX_PATH * 2];
    char unrecognised[MAX_PATH * 2];
    bool ignore_quit;
    DWORD linger_ms;
};

Request g_request;
bool g_window_destroyed;

// Cuts the next argument off `*cursor`: blanks separate, double quotes group
// and are dropped. Answers false when nothing is left.
bool next_argument(const char** cursor, char* out, size_t capacity) {
    const char* p = *cursor;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') {
        *cursor = p;
        return false;
    }
    size_t n = 0;
    bool quoted = false;
    for (; *p != '\0' && (quoted || (*p != ' ' && *p != '\t')); ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (n + 1 < capacity) {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
    *cursor = p;
    return true;
}

const char* skip_program_name(const char* line) {
    char ignored[MAX_PATH * 2];
    next_argument(&line, ignored, sizeof ignored);
    return line;
}

struct Switch {
    const char* arguments[2];  // the switches before the path
    const char* action;
    const char* description;
};

constexpr Switch kSwitches[] = {
    {{"-l", nullptr}, "open-playlist", "Open the playlist"},
    {{"-p", "-l"}, "play-playlist", "Open the playlist and play it"},
    {{"-a", nullptr}, "add-to-playlist", "Add the file to the playlist"},
    {{"-i", nullptr}, "install-skin", "Install the skin"},
    {{"-ia", nullptr}, "install-activate-skin", "Install the skin and make it the active one"},
};

void mark_unrecognised(Request* request, const char* rest) {
    request->action = "unrecognised";
    request->description = "Command line not understood";
    std::snprintf(request->unrecognised, sizeof request->unrecognised, "%s", rest);
}

void parse_command_line(const char* line, Request* request) {
    const char* cursor = skip_program_name(line);
    char argument[MAX_PATH * 2];
    const char* rest = cursor;
    request->action = "run";
    request->description = "Ready";
    while (next_argument(&cursor, argument, sizeof argument)) {
        if (std::strcmp(argument, "--ignore-quit") == 0) {
            request->ignore_quit = true;
        } else if (std::strncmp(argument, "--linger=", 9) == 0) {
            request->linger_ms = static_cast<DWORD>(std::strtoul(argument + 9, nullptr, 10));
        } else {
            break;
        }
        rest = cursor;
    }
    cursor = rest;
    while (*rest == ' ' || *rest == '\t') ++rest;
    if (*rest == '\0') return;

    char words[3][MAX_PATH * 2];
    int count = 0;
    while (count < 3 && next_argument(&cursor, words[count], sizeof words[count])) ++count;
    char extra[8];
    const bool more = next_argument(&cursor, extra, sizeof extra);
    for (const Switch& s : kSwitches) {
        const int switches = s.arguments[1] != nullptr ? 2 : 1;
        if (more || count != switches + 1 || words[switches][0] == '\0') continue;
        bool same = true;
        for (int i = 0; i < switches; ++i) same = same && std::strcmp(words[i], s.arguments[i]) == 0;
        if (!same) continue;
        request->action = s.action;
        request->description = s.description;
        std::snprintf(request->path, sizeof request->path, "%s", words[switches]);
        return;
    }
    mark_unrecognised(request, rest);
}

void report(const char* line) {
    char file[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("TONVARO_PLAYER_REPORT", file, sizeof file);
    if (n == 0 || n >= sizeof file) return;
    FILE* f = std::fopen(file, "ab");
    if (f == nullptr) return;
    std::fprintf(f, "%s\n", line);
    std::fclose(f);
}

void report_start(const Request& request) {
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    const char* subject = request.path[0] != '\0' ? request.path : request.unrecognised;
    char line[MAX_PATH * 5];
    std::snprintf(line, sizeof line, "%s\t%s\t%s", request.action, subject, directory);
    report(line);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT area;
    GetClientRect(window, &area);
    InflateRect(&area, -12, -12);
    const char* subject = g_request.path[0] != '\0' ? g_request.path : g_request.unrecognised;
    char text[MAX_PATH * 5];
    std::snprintf(text, sizeof text, "Quenvale Tonvaro 1.85 (sample player)\r\n\r\n%s%s%s%s",
                  g_request.description, subject[0] != '\0' ? ":\r\n" : ".",
                  subject, g_request.ignore_quit ? "\r\n\r\n(ignoring requests to quit)" : "");
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &area, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    EndPaint(window, &ps);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_DESTROY:
        g_window_destroyed = true;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

HWND create_main_window(HINSTANCE instance, int show) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = window_procedure;
    wc.cbWndExtra = kExtraBytes;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (RegisterClassA(&wc) == 0) return nullptr;
    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 480, 220, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;
    for (int i = 0; i < 4; ++i) {
        SetWindowLongA(window, i * 4, static_cast<LONG>(kSignature[i]));
    }
    ShowWindow(window, show);
    UpdateWindow(window);
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    parse_command_line(GetCommandLineA(), &g_request);
    if (create_main_window(instance, show) == nullptr) return 1;
    // Reported only once the window is signed, so that a test reading the
    // report knows the setup program can find this player.
    report_start(g_request);

    MSG message;
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            if (g_request.ignore_quit && !g_window_destroyed) {
                report("quit-ignored");
                continue;
            }
            if (!g_window_destroyed) report("quit");
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (g_request.linger_ms != 0 && !g_window_destroyed) Sleep(g_request.linger_ms);
    return 0;
}
