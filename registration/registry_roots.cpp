#include "registration/registry_roots.h"

#include <windows.h>

#include "common/globals.h"
#include "common/probes.h"
#include "common/text.h"
#include "registration/compositions.h"
#include "registration/file_types.h"
#include "registration/keys.h"
#include "registration/registry_values.h"
#include "registration/special_folders.h"

namespace {

typedef int (*ValueWriter)(HKEY key);

// Stops at the first value that cannot be written; LangPack goes only when
// all of them are in place.
int write_application_values(HKEY key) {
    char* const scratch = g_setup.ScratchPath;
    char* const limit = scratch + kPathBufferSize;
    if (compose_without_trailing_separator(scratch, limit, g_setup.DestinationDir) == nullptr ||
        !set_text_value(key, kAppDirValue, scratch)) {
        return 0;
    }
    // A programs folder the shell cannot name leaves ScratchPath undefined:
    // the stage fails rather than store it.
    if (!get_programs_folder(scratch) || append_product_folder(scratch, limit) == nullptr ||
        !set_text_value(key, kLinkDirValue, scratch)) {
        return 0;
    }
    const DWORD version = kPlayerVersion;
    if (RegSetValueExA(key, kPlayerVersionValue, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&version), sizeof version) != ERROR_SUCCESS ||
        !set_text_value(key, kInstallerPathValue, g_setup.InstallerCopyPath)) {
        return 0;
    }
    RegDeleteValueA(key, kLangPackValue);
    return 1;
}

int write_uninstall_values(HKEY key) {
    if (!set_text_value(key, kDisplayNameValue, kDisplayName)) return 0;
    char* const scratch = g_setup.ScratchPath;
    return compose_in_folder(scratch, scratch + kPathBufferSize, g_setup.DestinationDir,
                             kUninstallerFile, "") != nullptr &&
                   set_text_value(key, kUninstallStringValue, scratch)
               ? 1
               : 0;
}

// One key below a parent that only needs to take sub-keys; both are closed
// whatever `write` answers.
int write_key(const char* parent_path, const char* sub_key, ValueWriter write) {
    HKEY parent = create_key(g_setup.RegistryRoots.application_root, parent_path,
                             KEY_CREATE_SUB_KEY);
    if (parent == nullptr) return 0;
    int ok = 0;
    HKEY key = create_key(parent, sub_key, KEY_SET_VALUE);
    if (key != nullptr) {
        ok = write(key);
        RegCloseKey(key);
    }
    RegCloseKey(parent);
    return ok;
}

}  // namespace

void choose_registry_roots() {
    RegistryRoots& roots = g_setup.RegistryRoots;
    roots.classes_root = HKEY_CLASSES_ROOT;
    roots.classes_prefix = "";
    if (is_nt_platform()) {
        roots.application_root = HKEY_CURRENT_USER;
        if (is_nt5_or_later()) {
            roots.classes_root = HKEY_CURRENT_USER;
            roots.classes_prefix = kUserClassesPrefix;
        }
    } else {
        roots.application_root = HKEY_LOCAL_MACHINE;
    }
}

int register_installation() {
    if (!write_key(kVendorKey, kProductSubKey, write_application_values)) return 0;
    if (!write_key(kUninstallKey, kProductSubKey, write_uninstall_values)) return 0;
    return register_file_types();
}
