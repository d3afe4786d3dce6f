#pragma once
#include <windows.h>

INT_PTR CALLBACK wizard_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
