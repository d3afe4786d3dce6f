#include "registration/file_types.h"

#include <shlobj.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/probes.h"
#include "common/text.h"
#include "registration/compositions.h"
#include "registration/keys.h"
#include "registration/registry_values.h"

namespace {

constexpr REGSAM kClassAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr REGSAM kAssociateAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr REGSAM kExtensionAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

typedef void(WINAPI* ShChangeNotifyEntry)(LONG event, UINT flags, const void* first,
                                          const void* second);

// Each verb's command is the same player path with other arguments, so the
// path is composed once and the arguments are written after it in turn.
int register_verbs(HKEY class_key, const FileClassSpec& spec) {
    char* const limit = g_setup.ScratchPath + kPathBufferSize;
    char* const arguments = compose_player_command_start(g_setup.ScratchPath, limit,
                                                         g_setup.DestinationDir);
    if (arguments == nullptr) return 0;
    HKEY shell = create_key_with_default(class_key, "shell", kClassAccess,
                                         spec.verbs[spec.default_verb].name);
    if (shell == nullptr) return 0;
    int ok = 1;
    for (int i = 0; i < spec.verb_count && ok; ++i) {
        const FileVerb& verb = spec.verbs[i];
        HKEY verb_key = create_key_with_default(shell, verb.name, kClassAccess, verb.display_name);
        if (verb_key == nullptr) {
            ok = 0;
            break;
        }
        HKEY command = nullptr;
        if (copy_text_within(arguments, limit, verb.arguments) != nullptr) {
            command = create_key_with_default(verb_key, "command", KEY_SET_VALUE,
                                              g_setup.ScratchPath);
        }
        if (command != nullptr) RegCloseKey(command);
        RegCloseKey(verb_key);
        ok = command != nullptr ? 1 : 0;
    }
    RegCloseKey(shell);
    return ok;
}

int register_icon(HKEY class_key, const FileClassSpec& spec) {
    if (compose_icon_location(g_setup.ScratchPath, g_setup.ScratchPath + kPathBufferSize,
                              g_setup.DestinationDir, spec.icon_index) == nullptr) {
        return 0;
    }
    HKEY icon = create_key_with_default(class_key, "DefaultIcon", KEY_SET_VALUE,
                                        g_setup.ScratchPath);
    if (icon == nullptr) return 0;
    RegCloseKey(icon);
    return 1;
}

// Answers 0 only when the step must fail: the block could not be had, the
// value could not be read a second time, or it could not be kept.
int save_previous_association(HKEY extension_key) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(extension_key, nullptr, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return 1;
    }
    // One spare byte for a terminator after a value stored without one, one
    // more for the capacity handed to the second read.
    char* block = static_cast<char*>(alloc_or_report(size + 2));
    if (block == nullptr) return 0;
    DWORD length = size + 1;
    int ok = 0;
    if (RegQueryValueExA(extension_key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(block),
                         &length) == ERROR_SUCCESS &&
        length <= size + 1) {
        ok = 1;
        if (is_foreign_association(block, length)) {
            ok = RegSetValueExA(extension_key, kOldAssocValue, 0, type,
                                reinterpret_cast<const BYTE*>(block), length) == ERROR_SUCCESS
                     ? 1
                     : 0;
        }
    }
    release_block(block);
    return ok;
}

}  // namespace

void notify_shell() {
    HMODULE shell32 = load_system_library("shell32.dll");
    if (shell32 == nullptr) return;
    const ShChangeNotifyEntry notify = reinterpret_cast<ShChangeNotifyEntry>(
        reinterpret_cast<void*>(GetProcAddress(shell32, "SHChangeNotify")));
    if (notify != nullptr) notify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
}

HKEY open_classes_key(REGSAM access) {
    return create_key(g_setup.RegistryRoots.classes_root, g_setup.RegistryRoots.classes_prefix,
                      access);
}

HKEY create_key_with_default(HKEY parent, const char* sub_key, REGSAM access, const char* text) {
    HKEY key = create_key(parent, sub_key, access);
    if (key == nullptr) return nullptr;
    if (!set_text_value(key, nullptr, text)) {
        RegCloseKey(key);
        return nullptr;
    }
    return key;
}

int register_file_class(const FileClassSpec& spec) {
    HKEY classes = open_classes_key(kClassAccess);
    if (classes == nullptr) return 0;
    int ok = 0;
    HKEY class_key = create_key_with_default(classes, spec.prog_id, kClassAccess, spec.description);
    if (class_key != nullptr) {
        ok = register_verbs(class_key, spec) && register_icon(class_key, spec) ? 1 : 0;
        RegCloseKey(class_key);
    }
    RegCloseKey(classes);
    return ok;
}

int associate_extension(const char* extension, const char* prog_id) {
    HKEY classes = open_classes_key(kAssociateAccess);
    if (classes == nullptr) return 0;
    int ok = 0;
    HKEY extension_key = create_key(classes, extension, kExtensionAccess);
    if (extension_key != nullptr) {
        ok = save_previous_association(extension_key) &&
                     set_text_value(extension_key, nullptr, prog_id)
                 ? 1
                 : 0;
        RegCloseKey(extension_key);
    }
    RegCloseKey(classes);
    return ok;
}

int register_file_types() {
    if (!register_file_class(kPlaylistClass) ||
        !associate_extension(kPlaylistExtension, kPlaylistClass.prog_id) ||
        !register_file_class(kSkinClass) ||
        !associate_extension(kSkinExtension, kSkinClass.prog_id)) {
        return 0;
    }
    notify_shell();
    return 1;
}
