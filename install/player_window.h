#pragma once
#include <windows.h>

// The 16 bytes the player keeps in its main window's extra bytes.
extern const unsigned char kPlayerWindowSignature[16];

// The first top-level window after `after` (null: from the top) that
// carries the signature, or null.
HWND find_player_window(HWND after);
// Asks every running player to quit and waits up to five seconds. Answers 1
// when none is left, else 0.
int quit_running_players();
// The same, with the setup's running-player message when one stays.
int close_running_player();
