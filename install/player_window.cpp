#include "install/player_window.h"

#include "common/messages.h"

const unsigned char kPlayerWindowSignature[16] = {
    0xA5, 0xF2, 0x9B, 0x51, 0x70, 0x29, 0x13, 0x44,
    0xB6, 0xE0, 0x19, 0x2E, 0xD9, 0xFF, 0xD6, 0x69,
};

namespace {

constexpr unsigned kSignatureSize = sizeof kPlayerWindowSignature;
constexpr int kLooks = 10;
constexpr DWORD kLookInterval = 500;

const char kPlayerStillRunning[] =
    "The setup program has detected that Quenvale Tonvaro is currently running on your "
    "system, which will prevent the reinstallation from succeeding. All attempts to close the "
    "running player instance have failed, though.\n\nPlease close all currently running "
    "instances of Quenvale Tonvaro and run the installation program again. If you do not see "
    "any running instances of the player please reboot your system and then try again.";

int carries_signature(HWND window) {
    // A class with fewer extra bytes cannot hold the signature; its windows
    // are not read at all.
    if (static_cast<unsigned>(GetClassLongA(window, GCL_CBWNDEXTRA)) < kSignatureSize) return 0;
    // GetWindowLongA answers 32 bits on every architecture, which is what
    // the player stored at each of the four offsets.
    unsigned char bytes[kSignatureSize];
    for (unsigned i = 0; i < kSignatureSize / 4; ++i) {
        const DWORD value = static_cast<DWORD>(GetWindowLongA(window, static_cast<int>(i * 4)));
        for (unsigned b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<unsigned char>(value >> (8 * b));
        }
    }
    for (unsigned i = 0; i < kSignatureSize; ++i) {
        if (bytes[i] != kPlayerWindowSignature[i]) return 0;
    }
    return 1;
}

}  // namespace

HWND find_player_window(HWND after) {
    HWND candidate = after == nullptr ? GetTopWindow(nullptr) : GetWindow(after, GW_HWNDNEXT);
    while (candidate != nullptr && !carries_signature(candidate)) {
        candidate = GetWindow(candidate, GW_HWNDNEXT);
    }
    return candidate;
}

int quit_running_players() {
    HWND window = find_player_window(nullptr);
    if (window == nullptr) return 1;
    // The next one is found before this one is told to quit: a window that
    // is already gone has no place in the Z order to go on from.
    while (window != nullptr) {
        HWND next = find_player_window(window);
        PostMessageA(window, WM_QUIT, 0, 0);
        window = next;
    }
    // Not alertable and without pumping: nothing of ours may run meanwhile.
    for (int look = 0; look < kLooks; ++look) {
        SleepEx(kLookInterval, FALSE);
        if (find_player_window(nullptr) == nullptr) return 1;
    }
    return 0;
}

int close_running_player() {
    if (quit_running_players()) return 1;
    show_message(kPlayerStillRunning, "Error", kMessageWarning);
    return 0;
}
