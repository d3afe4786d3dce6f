// Deinstall.exe of the sample product: removes what the setup program
// installed and recorded for the directory it lies in, and nothing else.
//
// Started by the user (no arguments) it checks that its folder is an
// installation, asks once, and hands over to a copy of itself in TEMP (see
// self_removal.h). The copy closes running players the way the setup does,
// removes the shortcuts, the registry entries (only when this directory is
// the registered installation), the product's files, the installer copies
// and the folders left empty, then deletes the original.
//
// It runs wherever the setup runs: no C runtime (the setup's memory and text
// helpers instead) and only system DLLs known everywhere in its imports. Its
// path buffers are static, as it has one thread and no recursion: frames
// stay small without stack probes.
#include <windows.h>

#include "common/code_page.h"
#include "common/command_line.h"
#include "common/globals.h"
#include "common/messages.h"
#include "common/system_dlls.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "install/player_window.h"
#include "product/deinstall/installed_tree.h"
#include "product/deinstall/link_cleanup.h"
#include "product/deinstall/registration_cleanup.h"
#include "product/deinstall/self_removal.h"
#include "registration/compositions.h"
#include "registration/registry_roots.h"
#include "registration/special_folders.h"

namespace {

const char kCaption[] = "Quenvale Tonvaro Uninstall";
const char kConfirm[] =
    "Do you want to remove Quenvale Tonvaro and all of its components from your computer?\n\n"
    "Files of your own in its folders are kept.";
const char kNotInstalled[] = "Quenvale Tonvaro is not installed in %s.\n\nNothing was removed.";
const char kCannotStart[] =
    "Unable to start the removal of Quenvale Tonvaro.\n\nPlease verify that there is enough free "
    "disk space in the folder for temporary files.";
const char kPlayerStays[] =
    "Quenvale Tonvaro is still running and could not be closed.\n\nPlease close all running "
    "instances of Quenvale Tonvaro and start the uninstallation again. Nothing was removed.";
const char kFilesLeft[] =
    "Quenvale Tonvaro has been removed, but %d of its files could not be deleted. Please delete "
    "them from %s yourself.";

constexpr int kExitRemoved = 0;
constexpr int kExitDeclined = 1;
constexpr int kExitFailed = 2;

// The message with "%s" replaced by the directory, shown without its
// trailing separator, and "%d" by count. Composed messages are cut at the
// buffer's end, never overrun it.
int say(unsigned flags, const char* format, const char* directory, int count = 0) {
    static char path[kPathBufferSize];
    if (copy_text_within(path, path + sizeof path, directory) == nullptr) path[0] = 0;
    // A root keeps its separator: "C:\\", "\\".
    unsigned length = trimmed_length(path);
    if (path[length] != 0 && (length == 0 || (length == 2 && path[1] == ':'))) ++length;
    path[length] = 0;
    static char text[kPathBufferSize + 512];
    const char* const limit = text + sizeof text;
    char* at = text;
    char number[12];
    write_decimal_within(number, number + sizeof number, static_cast<unsigned>(count));
    for (const char* p = format; *p != 0 && limit - at > 1; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
            at = join_texts_cut(at, limit, p[1] == 's' ? path : number, nullptr, nullptr);
            ++p;
        } else {
            *at++ = *p;
        }
    }
    *at = 0;
    return MessageBoxA(nullptr, text, kCaption, flags | MB_SETFOREGROUND);
}

// The folder of `program`, with its trailing separator, into `directory`.
int folder_of(const char* program, char* directory) {
    if (copy_text_within(directory, directory + kPathBufferSize, program) == nullptr) return 0;
    const char* name = after_last_separator(directory);
    if (name == directory) return 0;
    directory[name - directory] = 0;
    return 1;
}

void set_up_shared_state(char* scratch, char* destination) {
    g_setup.process_heap = GetProcessHeap();
    g_setup.ScratchPath = scratch;
    g_setup.DestinationDir = destination;
    choose_registry_roots();
}

int is_installation(const char* directory) {
    return is_registered_installation(directory) || holds_installer_copy(directory);
}

// The original: asks, then starts the copy that does the work.
int hand_over(const char* directory) {
    if (!is_installation(directory)) {
        say(kMessageWarning, kNotInstalled, directory);
        return kExitFailed;
    }
    if (MessageBoxA(nullptr, kConfirm, kCaption, kMessageWarningYesNo | MB_SETFOREGROUND) != kAnswerYes) {
        return kExitDeclined;
    }
    char self[MAX_PATH + 1];
    if (get_module_path(nullptr, self, MAX_PATH) == 0 || !start_removal_copy(self)) {
        MessageBoxA(nullptr, kCannotStart, kCaption, kMessageError | MB_SETFOREGROUND);
        return kExitFailed;
    }
    return kExitRemoved;
}

// The copy in TEMP: the removal itself.
int remove_installation(const char* directory) {
    // Checked again: the switch alone must not make any folder a target.
    if (!is_installation(directory)) return kExitFailed;
    if (!quit_running_players()) {
        MessageBoxA(nullptr, kPlayerStays, kCaption, kMessageWarning | MB_SETFOREGROUND);
        return kExitFailed;
    }

    const int owned = is_registered_installation(directory);
    // The group the setup recorded, or where it would have made it.
    static char group[kPathBufferSize];
    if (!(owned && read_recorded_link_dir(group)) &&
        !(get_programs_folder(group) && append_product_folder(group, group + sizeof group) != nullptr)) {
        group[0] = 0;
    }
    remove_links(group, directory, owned);
    if (owned) {
        remove_file_types();
        remove_application_keys();
    }
    const int left = remove_installed_files(directory);
    if (left > 0) say(kMessageWarning, kFilesLeft, directory, left);
    return left > 0 ? kExitFailed : kExitRemoved;
}

}  // namespace

// The setup's own steps that this program links report through this; here
// no wizard owns the box.
int show_message(const char* text, const char* caption, unsigned flags) {
    return MessageBoxA(nullptr, text, caption, flags | MB_SETFOREGROUND);
}

namespace {

// Started by the user: no arguments. Started as the copy in TEMP: the
// switch, the original's path and the number of a handle on its process.
int deinstall_main() {
    static char scratch[kPathBufferSize];
    static char destination[kPathBufferSize];
    static char directory[kPathBufferSize];
    static char argument[kPathBufferSize];
    static char original[kPathBufferSize];
    set_up_shared_state(scratch, destination);

    const char* const end = argument + sizeof argument;
    const char* line = next_argument(GetCommandLineA(), argument, end);  // the program itself
    if (line != nullptr) line = next_argument(line, argument, end);
    if (line != nullptr && equals_ignore_case_n(argument, kRemoveSwitch, kWholeText)) {
        const char* rest = next_argument(line, original, original + sizeof original);
        if (rest != nullptr) rest = next_argument(rest, argument, end);
        unsigned handle = 0;
        if (rest != nullptr) read_decimal(argument, &handle);
        if (rest != nullptr && next_argument(rest, argument, end) == nullptr) {
            wait_for_original(reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle)));
            int result = kExitFailed;
            if (folder_of(original, directory)) result = remove_installation(directory);
            schedule_own_removal();
            return result;
        }
    }
    char self[MAX_PATH + 1];
    if (get_module_path(nullptr, self, MAX_PATH) == 0) return kExitFailed;
    if (!folder_of(self, directory)) return kExitFailed;
    return hand_over(directory);
}

}  // namespace

extern "C" void __stdcall deinstall_entry() {
    use_system_code_page();
    // ole32 from the system directory first, as the setup does: system
    // libraries loaded later that import it by name then take the module
    // already loaded instead of looking for one beside this program.
    const int com = system_dll::CoInitialize(nullptr) == S_OK;
    const int result = deinstall_main();
    if (com) system_dll::CoUninitialize();
    ExitProcess(static_cast<UINT>(result));
}
