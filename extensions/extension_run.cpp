#include "extensions/extension_run.h"

#include <windows.h>

#include "common/globals.h"
#include "common/messages.h"
#include "common/process.h"
#include "extensions/add_on_rules.h"
#include "extensions/extension_list.h"

namespace {

constexpr const char* kProceedingText =
    "Quenvale Tonvaro has been successfully installed.\n"
    "The installers for the add-ons you have selected will now be executed, one after another."
    "\n\nClick OK to continue.";
constexpr const char* kProceedingCaption = "Proceeding with Add-Ons";
constexpr const char* kInstallingAddOnsText =
    "\r\n\r\n\r\nThe Quenvale Tonvaro extensions that you have selected will now be installed."
    "\r\n\r\nPlease complete those installations to continue.";
constexpr const char* kStartErrorText =
    "Error executing extension installer.\n\n"
    "The extension will not be installed but Quenvale Tonvaro will still work fine.";
constexpr const char* kStartErrorCaption = "Error executing extension installer";
constexpr const char* kAddOnSwitch = "-ZaphioSetup";
// Short enough that the wizard repaints and moves while an add-on runs.
constexpr DWORD kWaitSlice = 500;

int any_row_ticked() {
    for (int row = 0; row < g_setup.extension_count; ++row) {
        int ticked = 0;
        if (extension_installer_path(row, &ticked) != nullptr && ticked) return 1;
    }
    return 0;
}

void run_add_on(const char* path) {
    HANDLE process = launch_process(nullptr, path, kAddOnSwitch);
    if (process == nullptr) {
        show_message(kStartErrorText, kStartErrorCaption, kMessageError);
        return;
    }
    while (WaitForSingleObject(process, kWaitSlice) == WAIT_TIMEOUT) pump_pending_messages();
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code) && is_reboot_request(code)) g_setup.reboot_needed = 1;
    CloseHandle(process);
}

}  // namespace

void run_selected_extensions() {
    if (!any_row_ticked()) return;
    show_message(kProceedingText, kProceedingCaption, kMessageInfo);
    SetWindowTextA(g_setup.main_text, kInstallingAddOnsText);
    for (int row = 0; row < g_setup.extension_count; ++row) {
        int ticked = 0;
        const char* path = extension_installer_path(row, &ticked);
        if (path != nullptr && ticked) run_add_on(path);
    }
}
