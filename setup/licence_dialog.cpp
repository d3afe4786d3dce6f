#include "setup/licence_dialog.h"

#include "common/globals.h"
#include "common/memory.h"
#include "setup/centring.h"
#include "setup/ids.h"
#include "setup/licence_text.h"

int run_licence_dialog() {
    char* text = load_licence_text();
    if (text == nullptr) return 0;
    const INT_PTR result =
        DialogBoxParamA(g_setup.module_instance, MAKEINTRESOURCEA(IDD_LICENCE),
                        g_setup.wizard_window, licence_dialog_proc, reinterpret_cast<LPARAM>(text));
    release_block(text);
    // -1 (the dialog could not be made) counts as a refusal too.
    return result == IDC_ACCEPT ? 1 : 0;
}

INT_PTR CALLBACK licence_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        // The agreement comes as the dialog's creation parameter.
        SetWindowTextA(GetDlgItem(window, IDC_LICENCE_TEXT), reinterpret_cast<const char*>(lparam));
        SetWindowTextA(GetDlgItem(window, IDC_ACCEPT), "I accept");
        SetWindowTextA(GetDlgItem(window, IDC_REFUSE), "I do not accept");
        SetWindowTextA(window, "License Agreement");
        centre_window(window, g_setup.wizard_window);
        return 1;
    }
    if (message != WM_COMMAND) return 0;
    // The cancel id 2, which Escape sends too, is the refusal.
    if (LOWORD(wparam) == IDC_REFUSE) {
        EndDialog(window, IDC_REFUSE);
        return 1;
    }
    if (LOWORD(wparam) == IDC_ACCEPT) {
        EndDialog(window, IDC_ACCEPT);
        return 1;
    }
    return 0;
}

void centre_window(HWND window, HWND reference) {
    RECT own;
    GetWindowRect(window, &own);
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (reference != nullptr) GetWindowRect(reference, &area);
    const int x = centred_origin(area.left, area.right - area.left, own.right - own.left);
    const int y = centred_origin(area.top, area.bottom - area.top, own.bottom - own.top);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
