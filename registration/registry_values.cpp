#include "registration/registry_values.h"

#include "common/text.h"

HKEY create_key(HKEY parent, const char* sub_key, REGSAM access) {
    char no_class[] = "";
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, sub_key, 0, no_class, REG_OPTION_NON_VOLATILE, access, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

int set_text_value(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          text_length(text) + 1) == ERROR_SUCCESS
               ? 1
               : 0;
}
