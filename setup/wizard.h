#pragma once
#include <windows.h>

INT_PTR CALLBACK wizard_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Lays out the dialog for the current page.
void show_page();
void go_next();
void go_previous();
// Lets the user pick the parent folder of the product directory (page 1).
void browse_destination();
