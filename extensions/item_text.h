#pragma once
// The texts of an extension row: its title, the version-resource query for
// one translation, and the row's text block. Portable: no Win32 types.

// Removes trailing blanks (0x20 only; other white space stays).
void trim_trailing_blanks(char* text);

// Writes the 8 lower-case hexadecimal digits of a translation, the language
// word then the code-page word, as the StringFileInfo block name (no
// terminator is written).
void write_translation_digits(char* eight, unsigned language, unsigned code_page);

// A row's text block: the installer path, a terminator, the description, a
// terminator and one more terminator.
unsigned item_text_size(const char* path, const char* description);
void compose_item_text(char* block, const char* path, const char* description);
// The description part of a block written by compose_item_text.
const char* item_description(const char* block);
