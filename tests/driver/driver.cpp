// The end-to-end driver: starts a setup program in this Wine prefix, waits
// for its windows, reads and answers them as a person would, and reports
// what it saw and the exit code. Tests compare that report with what a user
// must see.
//
//   tonvaro-driver [--cwd DIR] [--timeout SECONDS] [--shots DIR] [--args TEXT] SETUP.EXE STEP...
//
// --args TEXT is put after the program on its command line (the benchmark
// starts a peer installer silently).
//
// With --shots, a screenshot of every page reached and every box seen is
// saved in DIR, numbered in order.
//
// Steps, in order:
//   box CAPTION FLAGS ANSWER TEXT   a message box with this caption appears;
//                                   its text must equal TEXT ("*" skips the
//                                   check; \n and \r are unescaped), its
//                                   icon and buttons must make FLAGS; press
//                                   ANSWER (ok, yes, no)
//   click CAPTION ID                a window (not a message box) with this
//                                   caption appears; click its control ID
//                                   (which must be visible and enabled)
//   escape CAPTION                  press Escape in that window
//   type CAPTION ID TEXT            put TEXT into the edit control ID
//   page N                          the wizard comes to page N (0 to 5), read
//                                   from its visible controls and texts
//   visible ID 0|1                  the wizard's control ID is hidden/shown
//   enabled ID 0|1                  ... is disabled/enabled
//   checked ID 0|1                  the wizard's check box ID is (un)ticked
//   text ID TEXT                    the wizard's control ID shows TEXT
//   gone CAPTION                    no window of that caption is left
//   shot FILE                       saves the screen as a bitmap to FILE
//   elapsed                         prints the milliseconds since the setup
//                                   was started (for the benchmark)
//   exit N                          the setup ends with exit code N, and no
//                                   window of it is left unanswered
// The driver exits 0 when every step held, 1 otherwise.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// How often a wait looks again. The bench's laps end when a page is seen, so
// a wait's own delay is part of the setup's time there: keep it short.
constexpr DWORD kPollMs = 5;

DWORD g_pid = 0;
HANDLE g_process = nullptr;
DWORD g_deadline = 0;
// The performance counter: the tick count may step in tens of milliseconds.
LARGE_INTEGER g_started;
// With --shots DIR, every page reached and every box seen is saved there.
std::string g_shots;
int g_shot_number = 0;

std::string narrow(const wchar_t* text) {
    char buffer[4096];
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return n > 0 ? std::string(buffer) : std::string();
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[i + 1];
            if (c == 'n') { out += '\n'; ++i; continue; }
            if (c == 'r') { out += '\r'; ++i; continue; }
            if (c == '\\') { out += '\\'; ++i; continue; }
        }
        out += text[i];
    }
    return out;
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// Paths from the Linux side name drive Z:, which Wine maps to /.
std::string windows_path(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

std::string window_text(HWND window) {
    char buffer[8192];
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 2000, &n)) {
        return std::string();
    }
    return std::string(buffer, n);
}

std::string class_name(HWND window) {
    char buffer[256];
    const int n = GetClassNameA(window, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? n : 0);
}

struct Search {
    std::vector<HWND> windows;
};

BOOL CALLBACK collect_window(HWND window, LPARAM context) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == g_pid && IsWindowVisible(window)) {
        reinterpret_cast<Search*>(context)->windows.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> setup_windows() {
    Search search;
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

bool process_ended() { return WaitForSingleObject(g_process, 0) == WAIT_OBJECT_0; }

bool timed_out() { return static_cast<LONG>(GetTickCount() - g_deadline) > 0; }

// What a person sees of a message box: its caption, text, icon and buttons.
struct BoxView {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    unsigned buttons = 0;  // MB_OK 0, MB_YESNO 4, ...
    unsigned icon = 0;     // MB_ICONHAND 16, ...
    bool icon_known = true;
};

// Icons belong to the process that loaded them, so the box's icon handle
// means nothing here. Instead the pixels that the box shows are compared
// with the system icons drawn by this process on the same background.
std::vector<COLORREF> capture(HWND window, int width, int height) {
    std::vector<COLORREF> pixels;
    // From the screen: a window DC of another process shows nothing here.
    RECT where;
    GetWindowRect(window, &where);
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return pixels;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, where.left, where.top, SRCCOPY);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::vector<COLORREF> render_icon(LPCSTR id, COLORREF background, int width, int height) {
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIcon(memory, 0, 0, LoadIconA(nullptr, id));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

unsigned identify_icon(HWND icon_window) {
    RECT r;
    GetClientRect(icon_window, &r);
    const int width = r.right < 32 ? r.right : 32;
    const int height = r.bottom < 32 ? r.bottom : 32;
    if (width <= 0 || height <= 0) return 0;
    const std::vector<COLORREF> shown = capture(icon_window, width, height);
    if (shown.empty()) return 0;
    struct Candidate {
        LPCSTR id;
        unsigned flag;
    } candidates[] = {{IDI_HAND, MB_ICONHAND}, {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                      {IDI_ASTERISK, MB_ICONASTERISK}, {IDI_QUESTION, MB_ICONQUESTION}};
    for (const Candidate& c : candidates) {
        const std::vector<COLORREF> drawn = render_icon(c.id, shown[0], width, height);
        std::size_t same = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) same += shown[i] == drawn[i];
        if (same * 100 >= shown.size() * 95) return c.flag;
    }
    return 0;
}

BoxView read_box(HWND box) {
    BoxView view;
    view.window = box;
    view.caption = window_text(box);
    bool ok = false, yes = false, no = false, cancel = false;
    HWND icon = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string cls = class_name(child);
        const int id = GetDlgCtrlID(child);
        if (cls == "Button") {
            if (id == IDOK) ok = true;
            if (id == IDYES) yes = true;
            if (id == IDNO) no = true;
            if (id == IDCANCEL) cancel = true;
        } else if (cls == "Static") {
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (IsWindowVisible(child)) icon = child;
            } else if (id == 0xFFFF) {
                view.text = window_text(child);
            }
        }
    }
    if (yes && no) view.buttons = cancel ? MB_YESNOCANCEL : MB_YESNO;
    else if (ok && cancel) view.buttons = MB_OKCANCEL;
    else if (ok) view.buttons = MB_OK;
    if (icon != nullptr) {
        view.icon = identify_icon(icon);
        view.icon_known = view.icon != 0;
    }
    return view;
}

// A message box is a dialog whose text is a plain static with id 0xFFFF
// (the wizard's statics with that id are pictures and bands).
bool is_message_box(HWND window) {
    if (class_name(window) != "#32770") return false;
    HWND text = GetDlgItem(window, 0xFFFF);
    if (text == nullptr) return false;
    const LONG style = GetWindowLongA(text, GWL_STYLE);
    return (style & SS_TYPEMASK) == SS_LEFT && (style & SS_NOPREFIX) != 0;
}

// Waits for a message box with the caption; null when the setup ended or
// the time ran out first.
HWND wait_for_box(const std::string& caption) {
    while (!timed_out()) {
        for (HWND window : setup_windows()) {
            if (is_message_box(window) && window_text(window) == caption) return window;
        }
        if (process_ended()) return nullptr;
        Sleep(kPollMs);
    }
    return nullptr;
}

void report_windows(const char* why) {
    for (HWND window : setup_windows()) {
        std::printf("  %s: window class=%s caption=\"%s\"", why, class_name(window).c_str(),
                    escape(window_text(window)).c_str());
        if (is_message_box(window)) std::printf(" text=\"%s\"", escape(read_box(window).text).c_str());
        std::printf("\n");
    }
}

// A click on the button itself, as a mouse would make it.
void press(HWND box, int id) { PostMessageA(GetDlgItem(box, id), BM_CLICK, 0, 0); }

bool step_shot(const std::string& file);

void auto_shot(const std::string& what) {
    if (g_shots.empty()) return;
    char name[64];
    std::snprintf(name, sizeof name, "/%02d-", ++g_shot_number);
    std::string file = g_shots + name;
    for (char c : what) file += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    step_shot(file + ".bmp");
}

bool step_box(const std::string& caption, unsigned flags, const std::string& answer,
              const std::string& text) {
    HWND window = wait_for_box(caption);
    if (window == nullptr) {
        std::printf("FAIL: no message box \"%s\" appeared%s\n", caption.c_str(),
                    process_ended() ? " before the setup ended" : "");
        report_windows("seen");
        return false;
    }
    Sleep(50);  // let the box finish laying itself out
    BoxView view = read_box(window);
    // On a loaded machine the icon may not be drawn yet: a person would look
    // again, for ten seconds at most.
    for (DWORD waited = 0; waited < 10000 && !view.icon_known; waited += kPollMs) {
        Sleep(kPollMs);
        view = read_box(window);
    }
    auto_shot("box-" + caption);
    std::printf("box: caption=\"%s\" flags=%u%s text=\"%s\"\n", view.caption.c_str(),
                view.buttons | view.icon, view.icon_known ? "" : " (icon unknown)",
                escape(view.text).c_str());
    bool good = true;
    if (text != "*" && view.text != unescape(text)) {
        std::printf("FAIL: expected text \"%s\"\n", text.c_str());
        good = false;
    }
    if (!view.icon_known || (view.buttons | view.icon) != flags) {
        std::printf("FAIL: expected flags %u\n", flags);
        good = false;
    }
    int id = IDOK;
    if (answer == "yes") id = IDYES;
    else if (answer == "no") id = IDNO;
    else if (answer != "ok") {
        std::printf("FAIL: unknown answer %s\n", answer.c_str());
        return false;
    }
    press(window, id);
    // Wait until this box is gone, so that a later box of the same caption
    // is a new one.
    while (IsWindow(window) && !timed_out()) Sleep(20);
    return good;
}

HWND wait_for_dialog(const std::string& caption) {
    while (!timed_out()) {
        for (HWND window : setup_windows()) {
            if (!is_message_box(window) && window_text(window) == caption) return window;
        }
        if (process_ended()) return nullptr;
        Sleep(kPollMs);
    }
    return nullptr;
}

bool step_click(const std::string& caption, int id) {
    HWND window = wait_for_dialog(caption);
    if (window == nullptr) {
        std::printf("FAIL: no window \"%s\" appeared\n", caption.c_str());
        report_windows("seen");
        return false;
    }
    HWND control = GetDlgItem(window, id);
    if (control == nullptr || !IsWindowEnabled(control) || !IsWindowVisible(control)) {
        std::printf("FAIL: \"%s\" has no visible, enabled control %d\n", caption.c_str(), id);
        return false;
    }
    std::printf("click: \"%s\" %d \"%s\"\n", caption.c_str(), id, window_text(control).c_str());
    press(window, id);
    return true;
}

constexpr const char* kWizardCaption = "Quenvale Tonvaro Setup";

bool step_escape(const std::string& caption) {
    HWND window = wait_for_dialog(caption);
    if (window == nullptr) {
        std::printf("FAIL: no window \"%s\" for Escape\n", caption.c_str());
        return false;
    }
    // To the control with the focus, as the keyboard would deliver it; the
    // dialog manager turns it into the cancel command.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != nullptr) {
        target = info.hwndFocus;
    }
    std::printf("escape: \"%s\"\n", caption.c_str());
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return true;
}

// The text as typed: in Unicode, as a keyboard gives it, whatever the code
// page of the program that reads it can spell.
bool step_type(const std::string& caption, int id, const std::string& text, const std::wstring& typed) {
    HWND window = wait_for_dialog(caption);
    HWND control = window != nullptr ? GetDlgItem(window, id) : nullptr;
    if (control == nullptr) {
        std::printf("FAIL: no control %d in \"%s\" to type into\n", id, caption.c_str());
        return false;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()), SMTO_ABORTIFHUNG,
                        2000, &ignored);
    std::printf("type: %d \"%s\"\n", id, text.c_str());
    return true;
}

bool shown(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control != nullptr && IsWindowVisible(control);
}

// The page as a person reads it off the screen.
int current_page(HWND wizard) {
    const std::string main_text = shown(wizard, 1002) ? window_text(GetDlgItem(wizard, 1002)) : "";
    if (window_text(GetDlgItem(wizard, 2)) == "Close") return 5;
    if (main_text.find("Welcome to the") != std::string::npos) return 0;
    if (shown(wizard, 1000)) return 1;
    if (shown(wizard, 1013)) return 2;
    if (shown(wizard, 1018)) return 3;
    if (main_text.find("now being installed") != std::string::npos ||
        main_text.find("will now be installed") != std::string::npos) {
        return 4;
    }
    return -1;
}

bool step_page(int expected) {
    int page = -1;
    HWND wizard = nullptr;
    while (!timed_out() && !process_ended()) {
        wizard = wait_for_dialog(kWizardCaption);
        if (wizard != nullptr && (page = current_page(wizard)) == expected) break;
        Sleep(kPollMs);
    }
    std::printf("page: %d\n", page);
    if (page == expected) auto_shot("page-" + std::to_string(page));
    if (page != expected) {
        std::printf("FAIL: expected page %d\n", expected);
        report_windows("seen");
        return false;
    }
    return true;
}

// A state of a wizard control: visible, enabled, checked or its text.
bool step_state(const std::string& what, int id, const std::string& expected) {
    HWND wizard = wait_for_dialog(kWizardCaption);
    HWND control = wizard != nullptr ? GetDlgItem(wizard, id) : nullptr;
    if (control == nullptr) {
        std::printf("FAIL: no wizard control %d\n", id);
        return false;
    }
    std::string actual;
    if (what == "visible") actual = IsWindowVisible(control) ? "1" : "0";
    else if (what == "enabled") actual = IsWindowEnabled(control) ? "1" : "0";
    else if (what == "checked") actual = SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
    else actual = window_text(control);
    const std::string wanted = what == "text" ? unescape(expected) : expected;
    std::printf("%s: %d \"%s\"\n", what.c_str(), id, escape(actual).c_str());
    if (actual != wanted) {
        std::printf("FAIL: expected \"%s\"\n", expected.c_str());
        return false;
    }
    return true;
}

bool step_gone(const std::string& caption) {
    while (!timed_out()) {
        bool present = false;
        for (HWND window : setup_windows()) present = present || window_text(window) == caption;
        if (!present) return true;
        Sleep(kPollMs);
    }
    std::printf("FAIL: \"%s\" is still open\n", caption.c_str());
    return false;
}

// The whole screen as a 24-bit bitmap file, for people to look at.
bool step_shot(const std::string& file) {
    Sleep(300);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD row = (width * 3 + 3) & ~3u;
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + row * height;
    bool good = false;
    if (FILE* f = std::fopen(windows_path(file).c_str(), "wb")) {
        good = std::fwrite(&header, sizeof header, 1, f) == 1 &&
               std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
               std::fwrite(bits, row * height, 1, f) == 1;
        good = std::fclose(f) == 0 && good;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("shot: %s%s\n", file.c_str(), good ? "" : " (FAILED)");
    return good;
}

bool step_exit(DWORD expected) {
    while (!process_ended()) {
        if (timed_out()) {
            std::printf("FAIL: the setup did not end\n");
            report_windows("still open");
            TerminateProcess(g_process, 99);
            return false;
        }
        // Woken by the end itself: the benchmark times it.
        WaitForSingleObject(g_process, 30);
    }
    DWORD code = 0;
    GetExitCodeProcess(g_process, &code);
    std::printf("exit: %lu\n", code);
    if (code != expected) {
        std::printf("FAIL: expected exit code %lu\n", expected);
        return false;
    }
    return true;
}

int usage() {
    std::fprintf(stderr, "usage: tonvaro-driver [--cwd DIR] [--timeout S] SETUP.EXE STEP...\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(narrow(argv[i]));
    std::string cwd;
    std::string arguments;
    unsigned timeout = 60;
    std::size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) {
        if (args[i] == "--cwd" && i + 1 < args.size()) cwd = windows_path(args[i + 1]);
        else if (args[i] == "--shots" && i + 1 < args.size()) g_shots = args[i + 1];
        else if (args[i] == "--args" && i + 1 < args.size()) arguments = args[i + 1];
        else if (args[i] == "--timeout" && i + 1 < args.size()) timeout = std::strtoul(args[i + 1].c_str(), nullptr, 10);
        else return usage();
        i += 2;
    }
    if (i >= args.size()) return usage();
    std::string command = "\"" + windows_path(args[i++]) + "\"";
    if (!arguments.empty()) command += " " + arguments;

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    QueryPerformanceCounter(&g_started);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &startup, &info)) {
        std::printf("FAIL: cannot start %s (error %lu)\n", command.c_str(), GetLastError());
        return 1;
    }
    CloseHandle(info.hThread);
    g_pid = info.dwProcessId;
    g_process = info.hProcess;
    g_deadline = GetTickCount() + timeout * 1000;

    bool good = true;
    while (good && i < args.size()) {
        const std::string& step = args[i];
        if (step == "box" && i + 4 < args.size()) {
            good = step_box(args[i + 1], std::strtoul(args[i + 2].c_str(), nullptr, 10), args[i + 3], args[i + 4]);
            i += 5;
        } else if (step == "click" && i + 2 < args.size()) {
            good = step_click(args[i + 1], std::atoi(args[i + 2].c_str()));
            i += 3;
        } else if (step == "escape" && i + 1 < args.size()) {
            good = step_escape(args[i + 1]);
            i += 2;
        } else if (step == "type" && i + 3 < args.size()) {
            good = step_type(args[i + 1], std::atoi(args[i + 2].c_str()), args[i + 3],
                             argv[i + 4]);
            i += 4;
        } else if (step == "page" && i + 1 < args.size()) {
            good = step_page(std::atoi(args[i + 1].c_str()));
            i += 2;
        } else if ((step == "visible" || step == "enabled" || step == "checked" || step == "text") &&
                   i + 2 < args.size()) {
            good = step_state(step, std::atoi(args[i + 1].c_str()), args[i + 2]);
            i += 3;
        } else if (step == "gone" && i + 1 < args.size()) {
            good = step_gone(args[i + 1]);
            i += 2;
        } else if (step == "shot" && i + 1 < args.size()) {
            good = step_shot(args[i + 1]);
            i += 2;
        } else if (step == "elapsed") {
            LARGE_INTEGER now, frequency;
            QueryPerformanceCounter(&now);
            QueryPerformanceFrequency(&frequency);
            std::printf("elapsed: %lu ms\n",
                        static_cast<unsigned long>((now.QuadPart - g_started.QuadPart) * 1000 / frequency.QuadPart));
            i += 1;
        } else if (step == "exit" && i + 1 < args.size()) {
            good = step_exit(std::strtoul(args[i + 1].c_str(), nullptr, 10));
            i += 2;
        } else {
            std::printf("FAIL: bad step %s\n", step.c_str());
            good = false;
        }
    }
    if (!process_ended()) {
        if (good) std::printf("FAIL: the setup is still running after the last step\n");
        report_windows("left open");
        TerminateProcess(g_process, 99);
        good = false;
    }
    CloseHandle(g_process);
    std::printf(good ? "driver: all steps held\n" : "driver: a step failed\n");
    return good ? 0 : 1;
}
