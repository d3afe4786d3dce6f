#include "setup/startup.h"

#include <windows.h>
#include <commctrl.h>

#include "common/code_page.h"
#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "common/probes.h"
#include "common/profile.h"
#include "common/system_dlls.h"
#include "common/system_paths.h"
#include "common/text.h"
#include "extensions/extension_list.h"
#include "payload/verify.h"
#include "setup/ids.h"
#include "setup/wizard.h"

namespace {

constexpr const char* kNoCurrentDirectory = "Unable to retrieve the current directory.";
constexpr const char* kNoOle32 = "Fatal error: unable to load ole32.dll.";
constexpr const char* kNoComEntries =
    "Fatal error: unable to locate COM initialization functions in ole32.dll";
constexpr const char* kNoCom = "Fatal error: unable to initialize COM.";
constexpr const char* kPayloadDamaged =
    "The installation data could not be extracted. It may be corrupted.\n\n"
    "If you downloaded this file try downloading it again.";
constexpr const char* kPayloadDamagedCaption = "Critical error";

constexpr int kPathBufferCount = 5;

template <typename Entry>
Entry entry_point(FARPROC address) {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(address));
}

char** path_buffer(int index) {
    static char** const kBuffers[kPathBufferCount] = {
        &g_setup.ScratchPath, &g_setup.DestinationDir, &g_setup.LinkFolder,
        &g_setup.InstallerCopyPath, &g_setup.ModulePath};
    return kBuffers[index];
}

// Allocates the PathBuffers in order; answers how many exist.
int allocate_path_buffers() {
    for (int i = 0; i < kPathBufferCount; ++i) {
        char* block = static_cast<char*>(alloc_or_report(kPathBufferSize));
        if (block == nullptr) return i;
        block[0] = 0;
        *path_buffer(i) = block;
    }
    return kPathBufferCount;
}

void release_path_buffers(int count) {
    for (int i = count - 1; i >= 0; --i) {
        release_block(*path_buffer(i));
        *path_buffer(i) = nullptr;
    }
}

}  // namespace

int capture_start_directory() {
    const DWORD n = get_current_directory(0, nullptr);
    if (n == 0) {
        show_message(kNoCurrentDirectory, "Error", kMessageError);
        return 0;
    }
    g_setup.StartDir = static_cast<char*>(alloc_or_report(n + 2));
    if (g_setup.StartDir == nullptr) return 0;
    if (get_current_directory(n + 1, g_setup.StartDir) == 0) {
        show_message(kNoCurrentDirectory, "Error", kMessageError);
        release_block(g_setup.StartDir);
        g_setup.StartDir = nullptr;
        return 0;
    }
    return 1;
}

int load_com_entry_points() {
    HMODULE ole32 = load_system_library("ole32.dll");
    if (ole32 == nullptr) {
        show_message(kNoOle32, "Error", kMessageError);
        return 0;
    }
    g_setup.co_create_instance =
        entry_point<CoCreateInstanceEntry>(GetProcAddress(ole32, "CoCreateInstance"));
    g_setup.co_initialize = entry_point<CoInitializeEntry>(GetProcAddress(ole32, "CoInitialize"));
    if (g_setup.co_create_instance == nullptr || g_setup.co_initialize == nullptr) {
        show_message(kNoComEntries, "Error", kMessageError);
        return 0;
    }
    // S_FALSE (already initialised on this thread) counts as failure too.
    if (g_setup.co_initialize(nullptr) != S_OK) {
        show_message(kNoCom, "Error", kMessageError);
        return 0;
    }
    return 1;
}

unsigned exit_code_for(long long dialog_result) {
    return dialog_result == kWizardFinished ? kExitFinished : kExitNotFinished;
}

void setup_main() {
    PROFILE_ONLY(profile_mark());  // the first stamp also takes the loader's share
    unsigned exit_code = kExitNotFinished;
    use_system_code_page();
    g_setup.process_heap = GetProcessHeap();
    g_setup.module_instance = GetModuleHandleA(nullptr);

    if (capture_start_directory()) {
        int buffers = 0;
        if (load_com_entry_points()) {
            buffers = allocate_path_buffers();
        }
        if (buffers == kPathBufferCount) {
            PROFILE_ONLY(profile_mark());
            const int verified = verify_payload(&g_setup.PayloadBody, &g_setup.payload_end);
            PROFILE_ONLY(profile_lap(kProfileVerify));
            if (!verified) {
                show_message(kPayloadDamaged, kPayloadDamagedCaption, kMessageError);
            } else {
                // The list view class of the extension page must exist
                // before the wizard's template is instantiated.
                system_dll::InitCommonControls();
                const INT_PTR result = DialogBoxParamA(g_setup.module_instance,
                                                       MAKEINTRESOURCEA(IDD_WIZARD), nullptr,
                                                       wizard_dialog_proc, 0);
                exit_code = exit_code_for(result);
            }
            g_setup.wizard_window = nullptr;
            release_extension_items();
        }
        release_path_buffers(buffers);
        release_block(g_setup.StartDir);
        g_setup.StartDir = nullptr;
    }
    ExitProcess(exit_code);
}
