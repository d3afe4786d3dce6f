#include "install/installation_run.h"

#include <windows.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "common/profile.h"
#include "common/text.h"
#include "extensions/extension_run.h"
#include "install/installer_copy.h"
#include "install/player_window.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "registration/registry_roots.h"
#include "registration/shortcuts.h"

namespace {

constexpr const char* kNoDestination =
    "Unable to create destination directory.\nPlease verify that you entered a valid directory "
    "path.";
constexpr const char* kNoCopy =
    "Unable to copy the installer.\n\nPlease verify that there is enough free disk space on the "
    "target disk.";
constexpr const char* kNoRegistry = "Unable to create essential registry entries.";

// Created below the destination before any entry, in this order.
constexpr const char* kSubDirectories[] = {"Plugins", "AddOns", "LangPacks", "Skins"};
// Entries walked over but never extracted.
constexpr const char* kSkippedPrefix = "SetupTemp";
constexpr int kSkippedPrefixLength = 9;

// A relative destination ("foo", "C:foo") would install wherever the current
// directory happens to be and record relative paths in the registry and the
// links: it is made absolute, relative to where the setup was started.
int make_destination_absolute() {
    SetCurrentDirectoryA(g_setup.StartDir);
    char* part = nullptr;
    const DWORD n = GetFullPathNameA(g_setup.DestinationDir, kPathCapacity, g_setup.ScratchPath, &part);
    // Room must stay for the trailing separator.
    if (n == 0 || n >= kPathCapacity) return 0;
    copy_text(g_setup.DestinationDir, g_setup.ScratchPath);
    return 1;
}

int enter_destination() {
    create_directory_chain(g_setup.DestinationDir);
    if (!SetCurrentDirectoryA(g_setup.DestinationDir)) return 0;
    return ensure_trailing_separator_within(g_setup.DestinationDir,
                                            g_setup.DestinationDir + kPathBufferSize) != nullptr;
}

// Every entry in stored order, bounded by the payload's end: an entry that
// would run past it is damaged data, whatever the count says.
int extract_payload(ExtractionRun* run) {
    const unsigned count = read_u32le(g_setup.PayloadBody);
    const unsigned char* position = g_setup.PayloadBody + 4;
    for (unsigned i = 0; i < count; ++i) {
        PayloadEntry entry;
        if (!read_entry(position, g_setup.payload_end, &entry)) {
            report_damaged_data();
            return 0;
        }
        if (!equals_ignore_case_n(entry.name, kSkippedPrefix, kSkippedPrefixLength) &&
            !extract_entry(entry, run)) {
            return 0;
        }
        position = entry.next;
    }
    return 1;
}

}  // namespace

int run_installation() {
    PROFILE_SPAN(kProfileRun);
    if (!make_destination_absolute()) {
        show_message(kNoDestination, "Error", kMessageWarning);
        return 0;
    }
    PROFILE_ONLY(profile_mark());
    if (!close_running_player()) return 0;
    PROFILE_ONLY(profile_lap(kProfileClosePlayer));
    if (!enter_destination()) {
        show_message(kNoDestination, "Error", kMessageWarning);
        return 0;
    }
    SetCurrentDirectoryA(g_setup.DestinationDir);
    for (const char* name : kSubDirectories) {
        if (!ensure_directory(name)) return 0;
    }
    PROFILE_ONLY(profile_lap(kProfileDirectories));
    ExtractionRun* extraction = static_cast<ExtractionRun*>(alloc_or_report(sizeof(ExtractionRun)));
    if (extraction == nullptr) return 0;
    start_extraction(extraction);
    const int extracted = extract_payload(extraction);
    release_block(extraction);
    if (!extracted) return 0;

    PROFILE_ONLY(profile_mark());  // extraction has spans of its own
    remove_stale_installer_copies();
    if (!copy_installer()) {
        show_message(kNoCopy, "Error", kMessageError);
        return 0;
    }
    PROFILE_ONLY(profile_lap(kProfileSelfCopy));
    if (!register_installation()) {
        show_message(kNoRegistry, "Error", kMessageError);
        return 0;
    }
    PROFILE_ONLY(profile_lap(kProfileRegister));
    if (!create_shortcuts()) return 0;
    PROFILE_ONLY(profile_lap(kProfileLinks));
    run_selected_extensions();
    PROFILE_ONLY(profile_lap(kProfileExtensions));
    return 1;
}
