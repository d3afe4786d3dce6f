#include "common/path_spelling.h"

namespace {

// The system's paths separate their components with "\\" alone.
int component_length(const wchar_t* p) {
    int n = 0;
    while (p[n] != 0 && p[n] != L'\\') ++n;
    return n;
}

}  // namespace

char* spell_path(char* destination, const char* limit, const wchar_t* long_path,
                 const wchar_t* short_path, AnsiConversion convert) {
    char* out = destination;
    const wchar_t* l = long_path;
    const wchar_t* s = short_path;
    for (;;) {
        // Room is kept for the terminator.
        const int capacity = static_cast<int>(limit - out) - 1;
        const int long_count = component_length(l);
        const int short_count = s != nullptr ? component_length(s) : 0;
        int written = convert(l, long_count, out, capacity);
        if (written < 0 && s != nullptr) written = convert(s, short_count, out, capacity);
        if (written < 0) break;
        out += written;
        l += long_count;
        // Both paths end here, or both go on past the same separator.
        if (s != nullptr && *(s += short_count) != *l) break;
        if (*l == 0) {
            *out = 0;
            return out;
        }
        if (limit - out < 2) break;
        *out++ = static_cast<char>(*l++);
        if (s != nullptr) ++s;
    }
    destination[0] = 0;
    return nullptr;
}
