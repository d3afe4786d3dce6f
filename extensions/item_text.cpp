#include "extensions/item_text.h"

#include "common/text.h"

void trim_trailing_blanks(char* text) {
    char* kept = text;
    for (char* p = text; *p != 0;) {
        char* next = next_character(p);
        if (*p != ' ') kept = next;
        p = next;
    }
    *kept = 0;
}

void write_translation_digits(char* eight, unsigned language, unsigned code_page) {
    constexpr const char* kDigits = "0123456789abcdef";
    const unsigned both = ((language & 0xFFFFu) << 16) | (code_page & 0xFFFFu);
    for (int i = 0; i < 8; ++i) eight[i] = kDigits[(both >> (28 - 4 * i)) & 0xFu];
}

unsigned item_text_size(const char* path, const char* description) {
    return text_length(path) + text_length(description) + 3;
}

void compose_item_text(char* block, const char* path, const char* description) {
    char* end = copy_text(block, path);
    end = copy_text(end + 1, description);
    end[1] = 0;
}

const char* item_description(const char* block) { return block + text_length(block) + 1; }
