#include "setup/wizard.h"

#include "common/globals.h"
#include "common/results.h"
#include "setup/ids.h"

namespace {

constexpr const char* kCaption = "Quenvale Tonvaro Setup";
constexpr const char* kWelcomeText =
    "\r\n\r\n\r\nWelcome to the Quenvale Tonvaro installation program.\r\n\r\n\r\n"
    "Click on 'Next' to continue with the installation process.";

void initialise_wizard(HWND window) {
    g_setup.wizard_window = window;
    g_setup.exit_button = GetDlgItem(window, IDC_EXIT);
    g_setup.main_text = GetDlgItem(window, IDC_MAIN_TEXT);
    SetWindowTextA(window, kCaption);
    SetWindowTextA(g_setup.exit_button, "Exit");
    SetWindowTextA(g_setup.main_text, kWelcomeText);
    g_setup.WizardPage = kPageWelcome;
}

}  // namespace

INT_PTR CALLBACK wizard_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        initialise_wizard(window);
        return 1;
    }
    if (g_setup.wizard_window == nullptr) return 0;
    if (message == WM_COMMAND && LOWORD(wparam) == IDC_EXIT) {
        EndDialog(window, kWizardLeft);
        return 1;
    }
    return 0;
}
