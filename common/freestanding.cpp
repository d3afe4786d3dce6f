// The few C library functions that the compiler and zlib call, for a program
// linked without any C runtime: nothing to load, nothing to initialise
// before setup_main. zlib's default allocator is never reached (every stream
// is given ours) but inflate names it; defining it here keeps zlib's zutil
// object, its error texts and the malloc and free it calls out of the program.
#include <windows.h>

#include "common/globals.h"

extern "C" {

// inflate copies every stored block and every piece it hands out (into its
// window) through memcpy: several hundred megabytes for a large product,
// where a byte loop costs a tenth of a second or more. The string
// instructions move four bytes a step on every x86 since the 386.
void* memcpy(void* destination, const void* source, size_t n) {
    void* d = destination;
    size_t words = n / 4;
    n %= 4;
    asm volatile("rep movsl" : "+D"(d), "+S"(source), "+c"(words) : : "memory");
    asm volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(n) : : "memory");
    return destination;
}

void* memmove(void* destination, const void* source, size_t n) {
    unsigned char* d = static_cast<unsigned char*>(destination);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    if (d < s) {
        while (n-- != 0) *d++ = *s++;
    } else {
        while (n-- != 0) d[n] = s[n];
    }
    return destination;
}

void* memset(void* destination, int value, size_t n) {
    unsigned char* d = static_cast<unsigned char*>(destination);
    while (n-- != 0) *d++ = static_cast<unsigned char>(value);
    return destination;
}

int memcmp(const void* a, const void* b, size_t n) {
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; n != 0; --n, ++x, ++y) {
        if (*x != *y) return *x < *y ? -1 : 1;
    }
    return 0;
}

size_t strlen(const char* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

void* zcalloc(void* /*opaque*/, unsigned items, unsigned size) {
    return HeapAlloc(GetProcessHeap(), 0, items * size);
}

void zcfree(void* /*opaque*/, void* block) {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // extern "C"
