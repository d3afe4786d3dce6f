#pragma once
// Text helpers for NUL-terminated 8-bit ANSI texts. Portable: no Win32 types.

// Bytes of a PathBuffer: 2000 characters and a terminator.
constexpr unsigned kPathBufferSize = 2001;
// Capacity handed to the platform when it fills a PathBuffer, so that one
// more character (a trailing separator) always fits.
constexpr unsigned kPathCapacity = 2000;
// Whole-text comparison count for equals_ignore_case_n.
constexpr int kWholeText = 0x10000000;

// Lead bytes of the system's ANSI code page. On Japanese, Chinese and Korean
// Windows a lead byte and the byte after it are one character, and that
// second byte may be "\" or an ASCII letter: every walk through a text goes
// forward a character at a time and judges a character by its first byte.
// Until lead bytes are set, every byte is a character of its own, as on
// every single-byte code page.
void set_lead_bytes(unsigned char first, unsigned char last);
void clear_lead_bytes();
int is_lead_byte(unsigned char byte);
// The character after the one at p; p itself at the terminator. A lead byte
// right before the terminator is a character of its own.
const char* next_character(const char* p);
inline char* next_character(char* p) {
    return const_cast<char*>(next_character(static_cast<const char*>(p)));
}

unsigned char fold_ascii_lower(unsigned char byte);
int equals_ignore_case_n(const char* a, const char* b, int n);
char* copy_text(char* destination, const char* source);
unsigned text_length(const char* text);
char* ensure_trailing_separator(char* text);
// Whether the character that begins with c is "\" or "/".
int is_separator(char c);
// The position after the last "\" or "/" of path, or path itself.
const char* after_last_separator(const char* path);
// 1 when the last character of text is "\" or "/".
int ends_with_separator(const char* text);
// Removes one trailing "\" or "/"; answers the terminator's position.
char* drop_trailing_separator(char* text);
// The number of bytes before text's trailing separators, however many.
unsigned trimmed_length(const char* text);

// Bounded compositions. `limit` is one past the last byte the destination may
// use. They answer the new terminator's position, or null when the result
// would not fit; the text at destination is then left as it was.
char* copy_text_within(char* destination, const char* limit, const char* source);
char* ensure_trailing_separator_within(char* text, const char* limit);
// Joins three texts (null counts as empty) at destination, cutting the result
// where the space ends, never inside a character. Answers the terminator's position (always written,
// provided destination < limit).
char* join_texts_cut(char* destination, const char* limit,
                     const char* first, const char* second, const char* third);
// The same join, whole or not at all: answers the terminator's position, or
// null when the result would not fit (the destination is then unchanged).
char* join_texts_within(char* destination, const char* limit,
                        const char* first, const char* second, const char* third);
// Writes n as exactly `digits` decimal digits, leading zeros kept.
void write_decimal_fixed(char* destination, unsigned n, int digits);
// Writes n in decimal without sign, leading zeros or blanks; answers the
// terminator's position or null when it would not fit.
char* write_decimal_within(char* destination, const char* limit, unsigned n);
// Reads a text of decimal digits only into *n. Answers 0, leaving *n as it
// was, for an empty text, any other character or a value past 32 bits.
int read_decimal(const char* text, unsigned* n);
