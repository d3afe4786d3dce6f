// Included first in every program built without the C runtime. mingw-w64
// 12's winnt.h pulls the compiler's x86 intrinsics into every x86_64
// compile, and their _mm_malloc and _mm_free call malloc and free, which a
// freestanding compile does not declare. Declared here and defined nowhere:
// nothing in these programs may allocate from a C heap, and a call would
// fail the link.
#pragma once

#include <stddef.h>

extern "C" {
void* malloc(size_t size);
void free(void* block);
}
