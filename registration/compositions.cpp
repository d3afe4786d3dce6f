#include "registration/compositions.h"

#include "common/text.h"
#include "registration/keys.h"

char* compose_player_command_start(char* buffer, const char* limit, const char* directory) {
    if (limit - buffer < 2) return nullptr;
    buffer[0] = '"';
    char* text = buffer + 1;
    if (copy_text_within(text, limit, directory) == nullptr) return nullptr;
    char* end = ensure_trailing_separator_within(text, limit);
    if (end == nullptr) return nullptr;
    end = copy_text_within(end, limit, kPlayerFile);
    if (end == nullptr) return nullptr;
    return copy_text_within(end, limit, "\" ");
}

char* compose_icon_location(char* buffer, const char* limit, const char* directory,
                            unsigned icon_index) {
    char* end = compose_in_folder(buffer, limit, directory, kPlayerFile, ",");
    if (end == nullptr) return nullptr;
    return write_decimal_within(end, limit, icon_index);
}

char* compose_in_folder(char* buffer, const char* limit, const char* folder, const char* name,
                        const char* extension) {
    if (copy_text_within(buffer, limit, folder) == nullptr) return nullptr;
    char* end = ensure_trailing_separator_within(buffer, limit);
    if (end == nullptr) return nullptr;
    end = copy_text_within(end, limit, name);
    if (end == nullptr) return nullptr;
    return copy_text_within(end, limit, extension);
}

char* compose_without_trailing_separator(char* buffer, const char* limit, const char* directory) {
    if (copy_text_within(buffer, limit, directory) == nullptr) return nullptr;
    return drop_trailing_separator(buffer);
}

char* append_product_folder(char* text, const char* limit) {
    char* end = ensure_trailing_separator_within(text, limit);
    if (end == nullptr) return nullptr;
    return copy_text_within(end, limit, kProductFolder);
}

char* compose_probe_name(char* buffer, const char* limit, const char* directory) {
    char* end = compose_in_folder(buffer, limit, directory, "ZPH0000", "");
    return end == nullptr ? nullptr : end - 4;
}

int is_foreign_association(char* block, unsigned returned_length) {
    block[returned_length] = 0;
    // Stops at the terminator at the latest: nothing past the returned bytes
    // is read.
    return equals_ignore_case_n(block, kOwnProgIdPrefix, kMakerWordLength) ? 0 : 1;
}
