#include "product/deinstall/registration_cleanup.h"

#include <windows.h>

#include "common/globals.h"
#include "common/text.h"
#include "registration/file_types.h"
#include "registration/keys.h"

namespace {

// Reads a REG_SZ value into `out` and terminates it after the bytes read,
// so that a value stored without its zero is still one text.
int read_text(HKEY root, const char* key_path, const char* name, char* out, DWORD capacity) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, key_path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    DWORD size = capacity - 1;
    const LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || type != REG_SZ) return 0;
    out[size] = 0;
    return out[0] != 0 ? 1 : 0;
}

// A key goes only when nothing is left in it: no value and no sub-key of
// anyone. On the Windows 95 family RegDeleteKeyA would take a whole subtree.
void delete_key_if_empty(HKEY parent, const char* sub_key) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, sub_key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    DWORD sub_keys = 1;
    DWORD values = 1;
    const int empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &sub_keys, nullptr, nullptr,
                                       &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                      sub_keys == 0 && values == 0;
    RegCloseKey(key);
    if (empty) RegDeleteKeyA(parent, sub_key);
}

void delete_values(HKEY parent, const char* sub_key, const char* const* names, int count) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, sub_key, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    for (int i = 0; i < count; ++i) RegDeleteValueA(key, names[i]);
    RegCloseKey(key);
}

void delete_default_then_key(HKEY parent, const char* sub_key) {
    const char* const default_value[] = {""};
    delete_values(parent, sub_key, default_value, 1);
    delete_key_if_empty(parent, sub_key);
}

// Key paths below a class are a ProgID, "shell", a verb and "command": far
// below the registry's own limit of 255 characters per name.
constexpr int kKeyPathSize = 512;

// `prog_id`, then the pieces: a path that does not fit names no key of ours.
void delete_class_key(HKEY classes, const char* prog_id, const char* first, const char* second = nullptr,
                      const char* third = nullptr) {
    char path[kKeyPathSize];
    char* const end = join_texts_within(path, path + sizeof path, prog_id, first, second);
    if (end != nullptr && join_texts_within(end, path + sizeof path, third, nullptr, nullptr) != nullptr) {
        delete_default_then_key(classes, path);
    }
}

void remove_file_class(HKEY classes, const FileClassSpec& spec) {
    for (int i = 0; i < spec.verb_count; ++i) {
        delete_class_key(classes, spec.prog_id, "\\shell\\", spec.verbs[i].name, "\\command");
        delete_class_key(classes, spec.prog_id, "\\shell\\", spec.verbs[i].name);
    }
    delete_class_key(classes, spec.prog_id, "\\shell");
    delete_class_key(classes, spec.prog_id, "\\DefaultIcon");
    delete_default_then_key(classes, spec.prog_id);
}

// The extension goes back to what it was before the setup took it over:
// the saved association, with the type and bytes it had, or no default at
// all. An extension that another program has taken since keeps its value.
void restore_extension(HKEY classes, const char* extension, const char* prog_id) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(classes, extension, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return;
    }
    char current[64];
    DWORD type = 0;
    DWORD size = sizeof current - 1;
    int ours = 0;
    if (RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(current), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ) {
        current[size] = 0;
        ours = equals_ignore_case_n(current, prog_id, kWholeText);
    }
    if (ours) {
        DWORD saved_type = 0;
        DWORD saved_size = 0;
        BYTE* saved = nullptr;
        if (RegQueryValueExA(key, kOldAssocValue, nullptr, &saved_type, nullptr, &saved_size) ==
            ERROR_SUCCESS) {
            saved = static_cast<BYTE*>(HeapAlloc(g_setup.process_heap, 0, saved_size + 1));
        }
        if (saved != nullptr &&
            RegQueryValueExA(key, kOldAssocValue, nullptr, &saved_type, saved, &saved_size) ==
                ERROR_SUCCESS) {
            // The saved value is kept until it is back in place.
            if (RegSetValueExA(key, "", 0, saved_type, saved, saved_size) == ERROR_SUCCESS) {
                RegDeleteValueA(key, kOldAssocValue);
            }
        } else {
            RegDeleteValueA(key, "");
        }
        if (saved != nullptr) HeapFree(g_setup.process_heap, 0, saved);
    } else {
        // Nothing reads the saved value once our class is gone.
        RegDeleteValueA(key, kOldAssocValue);
    }
    RegCloseKey(key);
    delete_key_if_empty(classes, extension);
}

}  // namespace

int is_registered_installation(const char* directory) {
    static char recorded[kPathBufferSize];
    if (!read_text(g_setup.RegistryRoots.application_root, kApplicationKey, kAppDirValue, recorded,
                   sizeof recorded)) {
        return 0;
    }
    const unsigned length = trimmed_length(recorded);
    return length == trimmed_length(directory) &&
           equals_ignore_case_n(recorded, directory, static_cast<int>(length));
}

int read_recorded_link_dir(char* out) {
    return read_text(g_setup.RegistryRoots.application_root, kApplicationKey, kLinkDirValue, out,
                     kPathBufferSize);
}

void remove_application_keys() {
    const HKEY root = g_setup.RegistryRoots.application_root;
    const char* const application_values[] = {kAppDirValue, kLinkDirValue, kPlayerVersionValue,
                                              kInstallerPathValue};
    delete_values(root, kApplicationKey, application_values, 4);
    delete_key_if_empty(root, kApplicationKey);
    delete_key_if_empty(root, kVendorKey);

    char uninstall_entry[kKeyPathSize];
    if (join_texts_within(uninstall_entry, uninstall_entry + sizeof uninstall_entry, kUninstallKey, "\\",
                          kProductSubKey) == nullptr) {
        return;
    }
    const char* const uninstall_values[] = {kDisplayNameValue, kUninstallStringValue};
    delete_values(root, uninstall_entry, uninstall_values, 2);
    delete_key_if_empty(root, uninstall_entry);
}

void remove_file_types() {
    HKEY classes = open_classes_key(KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS);
    if (classes == nullptr) return;
    restore_extension(classes, kPlaylistExtension, kPlaylistClass.prog_id);
    restore_extension(classes, kSkinExtension, kSkinClass.prog_id);
    remove_file_class(classes, kPlaylistClass);
    remove_file_class(classes, kSkinClass);
    RegCloseKey(classes);
    notify_shell();
}
