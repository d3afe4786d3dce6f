#include "common/text.h"

unsigned char fold_ascii_lower(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + 32) : byte;
}

int equals_ignore_case_n(const char* a, const char* b, int n) {
    for (int k = 0; k < n; ++k) {
        const unsigned char x = static_cast<unsigned char>(a[k]);
        const unsigned char y = static_cast<unsigned char>(b[k]);
        if (x == 0 && y == 0) return 1;
        if (fold_ascii_lower(x) != fold_ascii_lower(y)) return 0;
    }
    return 1;
}

char* copy_text(char* destination, const char* source) {
    while ((*destination = *source) != 0) {
        ++destination;
        ++source;
    }
    return destination;
}

unsigned text_length(const char* text) {
    unsigned n = 0;
    while (text[n] != 0) ++n;
    return n;
}

int is_separator(char c) { return c == '\\' || c == '/'; }

char* ensure_trailing_separator(char* text) {
    char* end = text + text_length(text);
    if (end == text || is_separator(end[-1])) return end;
    end[0] = '\\';
    end[1] = 0;
    return end + 1;
}

const char* after_last_separator(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != 0; ++p) {
        if (is_separator(*p)) name = p + 1;
    }
    return name;
}

char* copy_text_within(char* destination, const char* limit, const char* source) {
    if (destination >= limit) return nullptr;
    const unsigned n = text_length(source);
    if (static_cast<unsigned long>(limit - destination) < n + 1ul) return nullptr;
    for (unsigned i = 0; i < n; ++i) destination[i] = source[i];
    destination[n] = 0;
    return destination + n;
}

char* ensure_trailing_separator_within(char* text, const char* limit) {
    char* end = text + text_length(text);
    if (end == text || is_separator(end[-1])) return end;
    if (limit - end < 2) return nullptr;
    end[0] = '\\';
    end[1] = 0;
    return end + 1;
}

char* join_texts_cut(char* destination, const char* limit,
                     const char* first, const char* second, const char* third) {
    const char* pieces[3] = {first, second, third};
    char* end = destination;
    for (const char* piece : pieces) {
        if (piece == nullptr) continue;
        while (*piece != 0 && limit - end > 1) *end++ = *piece++;
    }
    if (end < limit) *end = 0;
    return end;
}

char* join_texts_within(char* destination, const char* limit,
                        const char* first, const char* second, const char* third) {
    const char* pieces[3] = {first, second, third};
    unsigned length = 0;
    for (const char* piece : pieces) {
        if (piece != nullptr) length += text_length(piece);
    }
    if (destination >= limit || static_cast<unsigned>(limit - destination) <= length) return nullptr;
    return join_texts_cut(destination, limit, first, second, third);
}

void write_decimal_fixed(char* destination, unsigned n, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
        destination[i] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
}

int read_decimal(const char* text, unsigned* n) {
    if (*text == 0) return 0;
    unsigned value = 0;
    for (; *text != 0; ++text) {
        const unsigned digit = static_cast<unsigned char>(*text) - '0';
        if (digit > 9 || value > (0xFFFFFFFFu - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    *n = value;
    return 1;
}

char* write_decimal_within(char* destination, const char* limit, unsigned n) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    if (limit - destination < count + 1) return nullptr;
    for (int i = 0; i < count; ++i) destination[i] = digits[count - 1 - i];
    destination[count] = 0;
    return destination + count;
}
