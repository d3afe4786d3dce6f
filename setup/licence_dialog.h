#pragma once
#include <windows.h>

// Runs the licence dialog over the wizard; 1 only when "I accept" was pressed.
int run_licence_dialog();
INT_PTR CALLBACK licence_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Centres `window` over `reference`, or over the primary screen when null.
void centre_window(HWND window, HWND reference);
