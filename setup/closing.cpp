#include "setup/closing.h"

#include <windows.h>

#include "common/globals.h"
#include "common/messages.h"
#include "common/probes.h"
#include "common/process.h"
#include "common/results.h"
#include "common/vendor.h"
#include "extensions/extension_list.h"

namespace {

constexpr const char* kKnownAddOns[] = {
    "Quenvale Tonvaro Pictavo Add-On",
    "Quenvale Tonvaro Pyrolo! Add-On",
    "Quenvale Pyrolo! AudioCD Add-On",
};
constexpr const char* kPlayerFile = "Zaphio.exe";
constexpr const char* kAddOnPage = TONVARO_VENDOR_SITE "/internet/download/0014/add-ons";
constexpr const char* kUpdatePage = TONVARO_VENDOR_SITE "/products/0014";

constexpr const char* kAddOnCaption = "Add-On Information";
constexpr const char* kAddOnText =
    "The functionality of Quenvale Tonvaro can be extended with add-ons and plugins, "
    "including:\n\nThe Quenvale Pictavo Add-On: Enables you to view all kinds of photos and "
    "graphic images and create your own slide shows.\n\nQuenvale Pyrolo! AudioCD: Use this "
    "Add-On to burn your MP3, Ogg Vorbis or WAV files to Audio CDs that can be played in all "
    "normal CD players and stereo systems.\n\nQuenvale Pyrolo! DataCD: Adds the ability to "
    "record your playlists to data CDs with just two mouse clicks. This also includes graphics "
    "and photo files, so you can easily create your own photo slide show CDs to share with your "
    "friends and family!\n\nWould you like to visit the Quenvale website now to get more "
    "information and/or download these add-ons?\n";

constexpr const char* kRebootCaption = "Installation successful";
constexpr const char* kRebootText =
    "Quenvale Tonvaro has been successfully installed.\n\nTo complete the installation process "
    "your computer has to be rebooted. Do you want to do that now?";

constexpr const char* kUpdateCaption = "System update necessary";
constexpr const char* kUpdateText =
    "Your system is missing some essential components that are required to run Quenvale "
    "Tonvaro. The installation cannot proceed.\n\nAn update for your system is available at "
    TONVARO_VENDOR_SITE ".\n\nDo you want to visit " TONVARO_VENDOR_SITE " now?";
constexpr const char* kNoBrowserCaption = "Browser not found";
constexpr const char* kNoBrowser =
    "The setup program was unable to start your web browser. Please make sure that you have a "
    "web browser (like Microsoft Internet Explorer or Opera) installed.";

void finish() { EndDialog(g_setup.wizard_window, kWizardFinished); }

}  // namespace

void close_wizard() {
    const int page = g_setup.WizardPage;
    if (page == kPageInstalling) return;
    if (page != kPageComplete) {
        EndDialog(g_setup.wizard_window, kWizardLeft);
        return;
    }
    if (g_setup.reboot_needed) {
        // Logging off is what a user may do on NT without the shutdown
        // privilege; the other family reboots.
        ExitWindowsEx(is_nt_platform() ? EWX_LOGOFF : EWX_REBOOT, 0);
        finish();
        return;
    }
    offer_add_ons();
    if (SendMessageA(g_setup.start_player_box, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        HANDLE player = launch_process(g_setup.DestinationDir, kPlayerFile, "");
        if (player != nullptr) CloseHandle(player);
    }
    finish();
}

void offer_add_ons() {
    for (const char* title : kKnownAddOns) {
        if (!has_extension_title(title)) {
            if (show_message(kAddOnText, kAddOnCaption, kMessageInfoYesNo) == kAnswerYes) {
                open_in_shell(kAddOnPage);
            }
            return;
        }
    }
}

void offer_reboot() {
    if (show_message(kRebootText, kRebootCaption, kMessageInfoYesNo) == kAnswerYes) {
        close_wizard();
    } else {
        g_setup.reboot_needed = 0;
    }
}

int check_system_components() {
    if (system_components_present()) return 1;
    if (show_message(kUpdateText, kUpdateCaption, kMessageWarningYesNo) == kAnswerYes &&
        !open_in_shell(kUpdatePage)) {
        show_message(kNoBrowser, kNoBrowserCaption, kMessageError);
    }
    EndDialog(g_setup.wizard_window, kWizardLeft);
    return 0;
}
