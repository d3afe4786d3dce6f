#include "common/text.h"

namespace {

// Zero until set: no constructor runs before the setup's entry point.
unsigned char g_lead_bytes[256];

// The terminator of text; *last becomes its last character (text itself
// when it is empty).
const char* find_end(const char* text, const char** last) {
    *last = text;
    const char* p = text;
    while (*p != 0) {
        *last = p;
        p = next_character(p);
    }
    return p;
}

}  // namespace

void set_lead_bytes(unsigned char first, unsigned char last) {
    for (unsigned b = first; b <= last; ++b) g_lead_bytes[b] = 1;
}

void clear_lead_bytes() {
    for (unsigned char& b : g_lead_bytes) b = 0;
}

int is_lead_byte(unsigned char byte) { return g_lead_bytes[byte]; }

const char* next_character(const char* p) {
    if (*p == 0) return p;
    return is_lead_byte(static_cast<unsigned char>(*p)) && p[1] != 0 ? p + 2 : p + 1;
}

unsigned char fold_ascii_lower(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + 32) : byte;
}

int equals_ignore_case_n(const char* a, const char* b, int n) {
    // A second byte is compared as it is: it may look like an ASCII capital.
    int trail = 0;
    for (int k = 0; k < n; ++k) {
        const unsigned char x = static_cast<unsigned char>(a[k]);
        const unsigned char y = static_cast<unsigned char>(b[k]);
        if (x == 0 && y == 0) return 1;
        if (trail) {
            if (x != y) return 0;
            trail = 0;
        } else {
            // A lead byte is no capital: equal after folding means equal.
            if (fold_ascii_lower(x) != fold_ascii_lower(y)) return 0;
            trail = is_lead_byte(x);
        }
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
    const char* last = nullptr;
    char* end = const_cast<char*>(find_end(text, &last));
    if (end == text || is_separator(*last)) return end;
    end[0] = '\\';
    end[1] = 0;
    return end + 1;
}

const char* after_last_separator(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != 0; p = next_character(p)) {
        if (is_separator(*p)) name = p + 1;
    }
    return name;
}

int ends_with_separator(const char* text) {
    const char* last = nullptr;
    return find_end(text, &last) != text && is_separator(*last) ? 1 : 0;
}

char* drop_trailing_separator(char* text) {
    const char* last = nullptr;
    char* end = const_cast<char*>(find_end(text, &last));
    if (end == text || !is_separator(*last)) return end;
    char* separator = const_cast<char*>(last);
    *separator = 0;
    return separator;
}

unsigned trimmed_length(const char* text) {
    const char* kept = text;
    for (const char* p = text; *p != 0;) {
        const char* next = next_character(p);
        if (!is_separator(*p)) kept = next;
        p = next;
    }
    return static_cast<unsigned>(kept - text);
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
    const char* last = nullptr;
    char* end = const_cast<char*>(find_end(text, &last));
    if (end == text || is_separator(*last)) return end;
    if (limit - end < 2) return nullptr;
    end[0] = '\\';
    end[1] = 0;
    return end + 1;
}

char* join_texts_cut(char* destination, const char* limit,
                     const char* first, const char* second, const char* third) {
    const char* pieces[3] = {first, second, third};
    char* end = destination;
    int full = 0;
    for (const char* piece : pieces) {
        if (piece == nullptr) continue;
        while (!full && *piece != 0) {
            const char* next = next_character(piece);
            // The terminator needs its byte too.
            if (limit - end <= next - piece) {
                full = 1;
                break;
            }
            while (piece < next) *end++ = *piece++;
        }
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
