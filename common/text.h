#pragma once
// Text helpers for NUL-terminated 8-bit ANSI texts. Portable: no Win32 types.

// Bytes of a PathBuffer: 2000 characters and a terminator.
constexpr unsigned kPathBufferSize = 2001;
// Capacity handed to the platform when it fills a PathBuffer, so that one
// more character (a trailing separator) always fits.
constexpr unsigned kPathCapacity = 2000;
// Whole-text comparison count for equals_ignore_case_n.
constexpr int kWholeText = 0x10000000;

unsigned char fold_ascii_lower(unsigned char byte);
int equals_ignore_case_n(const char* a, const char* b, int n);
char* copy_text(char* destination, const char* source);
unsigned text_length(const char* text);
char* ensure_trailing_separator(char* text);
int is_separator(char c);
// The position after the last "\" or "/" of path, or path itself.
const char* after_last_separator(const char* path);

// Bounded compositions. `limit` is one past the last byte the destination may
// use. They answer the new terminator's position, or null when the result
// would not fit; the text at destination is then left as it was.
char* copy_text_within(char* destination, const char* limit, const char* source);
char* ensure_trailing_separator_within(char* text, const char* limit);
// Joins three texts (null counts as empty) at destination, cutting the result
// where the space ends. Answers the terminator's position (always written,
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
