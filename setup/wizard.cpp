#include "setup/wizard.h"

#include <commctrl.h>
#include <cstddef>
#include <iterator>
#include <shlobj.h>

#include "common/globals.h"
#include "common/messages.h"
#include "common/profile.h"
#include "common/results.h"
#include "common/system_dlls.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "extensions/extension_list.h"
#include "install/destination_default.h"
#include "install/installation_run.h"
#include "registration/registry_roots.h"
#include "registration/special_folders.h"
#include "setup/closing.h"
#include "setup/ids.h"
#include "setup/licence_dialog.h"

namespace {

constexpr const char* kCaption = "Quenvale Tonvaro Setup";
constexpr const char* kNotAccepted =
    "You have chosen not to accept the license agreement. This Setup will now exit without "
    "installing Quenvale Tonvaro.";
constexpr const char* kNotAcceptedCaption = "License agreement not accepted.";
constexpr const char* kNoDestination = "Please enter a destination directory.";
constexpr const char* kNoDestinationCaption = "Cannot continue";
constexpr const char* kBrowseTitle = "Choose the parent directory for the Quenvale Tonvaro directory.";
constexpr const char* kNoBrowsedPath = "Unable to retrieve the directory path from the shell.";
constexpr const char* kProductFolder = "Quenvale Tonvaro";

constexpr const char* kWelcomeText =
    "\r\n\r\n\r\nWelcome to the Quenvale Tonvaro installation program.\r\n\r\n\r\n"
    "Click on 'Next' to continue with the installation process.";
constexpr const char* kDestinationText =
    "\r\n\r\n\r\nPlease choose the directory that Quenvale Tonvaro will be installed into.";
constexpr const char* kShortcutsBothText =
    "\r\nDo you want to place a shortcut to Quenvale Tonvaro on your desktop and/or your "
    "Quicklaunch bar?\r\n\r\nThe Quicklaunch bar is the area next to the 'Start' button in the "
    "bottom left corner of the screen.";
constexpr const char* kShortcutsDesktopText =
    "\r\n\r\nDo you want to place a shortcut to Quenvale Tonvaro on your desktop?";
constexpr const char* kExtensionsText =
    "Quenvale Tonvaro can be extended by Add-Ons and Plugins. The installer has located "
    "installation packages for some of these extensions and they can be automatically executed "
    "during this setup.\r\n\r\nPlease place a tick mark next to the extensions that you would like "
    "to install. Click on a list item to see a short description of the extension.";
constexpr const char* kInstallingText =
    "\r\n\r\n\r\nQuenvale Tonvaro is now being installed on your computer.\r\n\r\n"
    "This will only take a few seconds...";
constexpr const char* kCompleteText =
    "\r\n\r\n\r\nInstallation complete! Thanks for choosing Quenvale Tonvaro !\r\n\r\n"
    "Click on 'Close' to close the installation program.";

struct ControlText {
    int id;
    const char* text;
};

// Set once at initialisation, in this order; the template's own texts are
// never seen.
constexpr ControlText kControlTexts[] = {
    {IDC_EXIT, "Exit"},
    {IDC_NEXT, "Next ->"},
    {IDC_PREVIOUS, "<- Previous"},
    {IDC_BROWSE, "Browse"},
    {IDC_DESTINATION_LABEL, "destination directory"},
    {IDC_DESKTOP_LINK, "Create a shortcut on your desktop"},
    {IDC_QUICK_LAUNCH_LINK, "Create a shortcut in your Quicklaunch bar"},
    {IDC_START_PLAYER, "Start Quenvale Tonvaro now"},
};

// Where each control's handle is kept: a table rather than a call apiece
// keeps the setup within its size. The three buttons come first; every
// other control is hidden whenever a page is shown.
struct ControlHandle {
    unsigned char offset;  // in SetupGlobals; an offset past a byte would not compile
    unsigned short id;
};

#define CONTROL_HANDLE(member, id) {offsetof(SetupGlobals, member), id}
constexpr ControlHandle kControlHandles[] = {
    CONTROL_HANDLE(next_button, IDC_NEXT),
    CONTROL_HANDLE(previous_button, IDC_PREVIOUS),
    CONTROL_HANDLE(exit_button, IDC_EXIT),
    CONTROL_HANDLE(destination_field, IDC_DESTINATION),
    CONTROL_HANDLE(browse_button, IDC_BROWSE),
    CONTROL_HANDLE(destination_label, IDC_DESTINATION_LABEL),
    CONTROL_HANDLE(start_player_box, IDC_START_PLAYER),
    CONTROL_HANDLE(desktop_box, IDC_DESKTOP_LINK),
    CONTROL_HANDLE(quick_launch_box, IDC_QUICK_LAUNCH_LINK),
    CONTROL_HANDLE(extension_list, IDC_EXTENSION_LIST),
    CONTROL_HANDLE(description_field, IDC_DESCRIPTION),
    CONTROL_HANDLE(main_text, IDC_MAIN_TEXT),
    CONTROL_HANDLE(upper_text, IDC_UPPER_TEXT),
};
#undef CONTROL_HANDLE
constexpr int kButtonCount = 3;

HWND* control_handle(const ControlHandle& c) {
    return reinterpret_cast<HWND*>(reinterpret_cast<char*>(&g_setup) + c.offset);
}

void set_check(HWND box, WPARAM state) { SendMessageA(box, BM_SETCHECK, state, 0); }

void initialise_wizard(HWND window) {
    g_setup.wizard_window = window;
    for (const ControlHandle& c : kControlHandles) *control_handle(c) = GetDlgItem(window, c.id);
    set_check(g_setup.desktop_box, BST_CHECKED);
    set_check(g_setup.quick_launch_box, BST_CHECKED);

    SetWindowTextA(window, kCaption);
    for (const ControlText& c : kControlTexts) SetWindowTextA(GetDlgItem(window, c.id), c.text);

    g_setup.WizardPage = kPageWelcome;
    show_page();
    // The roots first: the default destination reads the application root.
    choose_registry_roots();
    choose_default_destination(g_setup.ScratchPath, g_setup.DestinationDir);
    SetWindowTextA(g_setup.destination_field, g_setup.ScratchPath);
    prepare_extension_list();
    centre_window(window, nullptr);
}

void toggle_check(HWND box) {
    const LRESULT state = SendMessageA(box, BM_GETCHECK, 0, 0);
    set_check(box, state != BST_CHECKED ? BST_CHECKED : BST_UNCHECKED);
}

void hide(HWND control) { ShowWindow(control, SW_HIDE); }
void show(HWND control) { ShowWindow(control, SW_SHOW); }

void show_shortcuts_page() {
    if (quick_launch_exists()) {
        SetWindowTextA(g_setup.upper_text, kShortcutsBothText);
        show(g_setup.quick_launch_box);
    } else {
        SetWindowTextA(g_setup.upper_text, kShortcutsDesktopText);
        // No folder, no link: the box stays unticked, also after going back.
        set_check(g_setup.quick_launch_box, BST_UNCHECKED);
    }
    show(g_setup.upper_text);
    show(g_setup.desktop_box);
}

void select_first_extension() {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    SendMessageA(g_setup.extension_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    SendMessageA(g_setup.extension_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
}

void show_extensions_page() {
    SetWindowTextA(g_setup.upper_text, kExtensionsText);
    show(g_setup.extension_list);
    show(g_setup.description_field);
    show(g_setup.upper_text);
    // Deselect, then select: the description follows each time the page shows.
    if (g_setup.extension_count > 0) select_first_extension();
}

void show_complete_page() {
    SetWindowTextA(g_setup.main_text, kCompleteText);
    if (!g_setup.reboot_needed) {
        set_check(g_setup.start_player_box, BST_CHECKED);
        show(g_setup.start_player_box);
    } else {
        set_check(g_setup.start_player_box, BST_UNCHECKED);
    }
    SetWindowTextA(g_setup.exit_button, "Close");
}

void browse_for_parent() {
    BROWSEINFOA browse = {};
    browse.hwndOwner = g_setup.wizard_window;
    browse.pidlRoot = nullptr;
    browse.pszDisplayName = g_setup.ScratchPath;
    browse.lpszTitle = kBrowseTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = system_dll::SHBrowseForFolderA(&browse);
    if (chosen == nullptr) return;
    char* const limit = g_setup.ScratchPath + kPathBufferSize;
    if (!get_path_from_id_list(chosen, g_setup.ScratchPath)) {
        show_message(kNoBrowsedPath, "Error", kMessageError);
    } else {
        // The chosen folder is the parent of the product directory.
        char* end = ensure_trailing_separator_within(g_setup.ScratchPath, limit);
        if (end != nullptr && copy_text_within(end, limit, kProductFolder) != nullptr) {
            SendMessageA(g_setup.destination_field, WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(g_setup.ScratchPath));
        }
    }
    // The list is the shell's, allocated by its allocator.
    IMalloc* shell_allocator = nullptr;
    if (system_dll::SHGetMalloc(&shell_allocator) == S_OK && shell_allocator != nullptr) {
        shell_allocator->Free(chosen);
        shell_allocator->Release();
    }
}

}  // namespace

void show_page() {
    for (const ControlHandle* c = kControlHandles + kButtonCount; c != std::end(kControlHandles); ++c) {
        hide(*control_handle(*c));
    }
    EnableWindow(g_setup.previous_button, FALSE);
    EnableWindow(g_setup.next_button, FALSE);
    EnableWindow(g_setup.exit_button, FALSE);
    SetWindowTextA(g_setup.exit_button, "Exit");

    const int page = g_setup.WizardPage;
    switch (page) {
        case kPageWelcome:
            SetWindowTextA(g_setup.main_text, kWelcomeText);
            break;
        case kPageDestination:
            SetWindowTextA(g_setup.main_text, kDestinationText);
            show(g_setup.destination_field);
            show(g_setup.browse_button);
            show(g_setup.destination_label);
            break;
        case kPageShortcuts:
            show_shortcuts_page();
            break;
        case kPageExtensions:
            show_extensions_page();
            break;
        case kPageInstalling:
            SetWindowTextA(g_setup.main_text, kInstallingText);
            break;
        case kPageComplete:
            show_complete_page();
            break;
    }
    if (page != kPageShortcuts && page != kPageExtensions) show(g_setup.main_text);
    if (page <= kPageExtensions) {
        EnableWindow(g_setup.next_button, TRUE);
        if (page > kPageWelcome) EnableWindow(g_setup.previous_button, TRUE);
        SetFocus(g_setup.next_button);
    }
    if (page == kPageComplete && g_setup.reboot_needed) offer_reboot();
    // On the installing page every button stays disabled.
    if (page == kPageInstalling) return;
    EnableWindow(g_setup.exit_button, TRUE);
    if (page == kPageComplete) SetFocus(g_setup.exit_button);
}

void go_next() {
    const int page = g_setup.WizardPage;
    if (page == kPageInstalling || page == kPageComplete) return;
    if (page == kPageWelcome) {
        EnableWindow(g_setup.next_button, FALSE);
        EnableWindow(g_setup.exit_button, FALSE);
        if (!check_system_components()) return;
        if (!run_licence_dialog()) {
            show_message(kNotAccepted, kNotAcceptedCaption, kMessageInfo);
            EndDialog(g_setup.wizard_window, kWizardLeft);
            return;
        }
    }
    if (page == kPageDestination) {
        if (get_typed_path(g_setup.destination_field, g_setup.DestinationDir, kPathCapacity) == 0) {
            g_setup.DestinationDir[0] = 0;
        }
        if (g_setup.DestinationDir[0] == 0) {
            show_message(kNoDestination, kNoDestinationCaption, kMessageWarning);
            SetFocus(g_setup.destination_field);
            return;
        }
    }
    g_setup.WizardPage = page + 1;
    if (g_setup.WizardPage == kPageExtensions && g_setup.extension_count == 0) {
        g_setup.WizardPage = kPageInstalling;
    }
    show_page();
    if (g_setup.WizardPage != kPageInstalling) return;
    pump_pending_messages();
    const int installed = run_installation();
    PROFILE_ONLY(profile_save());
    if (installed) {
        g_setup.WizardPage = kPageComplete;
        show_page();
    } else {
        EndDialog(g_setup.wizard_window, kWizardLeft);
    }
}

void go_previous() {
    const int page = g_setup.WizardPage;
    if (page < kPageDestination || page > kPageExtensions) return;
    g_setup.WizardPage = page - 1;
    show_page();
}

void browse_destination() {
    if (g_setup.WizardPage == kPageDestination) browse_for_parent();
}

INT_PTR CALLBACK wizard_dialog_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        initialise_wizard(window);
        PROFILE_ONLY(profile_lap(kProfileWizard));
        return 1;
    }
    if (g_setup.wizard_window == nullptr) return 0;
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->hwndFrom != g_setup.extension_list) return 0;
        if (header->code == static_cast<UINT>(NM_CLICK) &&
            reinterpret_cast<const NMITEMACTIVATE*>(header)->iSubItem == 0) {
            handle_extension_click(header);
        }
        if (header->code == static_cast<UINT>(LVN_ITEMCHANGING)) {
            const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
            if ((change->uChanged & LVIF_STATE) != 0 && (change->uNewState & LVIS_SELECTED) != 0) {
                handle_extension_selection(header);
            }
        }
        return 0;
    }
    if (message != WM_COMMAND) return 0;
    switch (LOWORD(wparam)) {
        case IDC_EXIT:
            close_wizard();
            return 1;
        case IDC_BROWSE:
            browse_destination();
            return 1;
        case IDC_NEXT:
            go_next();
            return 1;
        case IDC_PREVIOUS:
            go_previous();
            return 1;
        case IDC_START_PLAYER:
        case IDC_DESKTOP_LINK:
        case IDC_QUICK_LAUNCH_LINK:
            toggle_check(GetDlgItem(window, LOWORD(wparam)));
            return 0;
    }
    return 0;
}
