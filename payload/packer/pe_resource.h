#pragma once
// Finding one resource in a PE32 or PE32+ file by reading its headers and
// resource directory. The input is untrusted: every read is checked against
// the buffer, and the walk is three fixed levels (type, name, language), so a
// directory that points back at itself cannot make it loop.

#include <cstddef>

// Finds the data of the named type `type_name` (compared as stored, which is
// upper case) with the integer id `id` and any language. Answers 1 with the
// file offset and length of the data, all of it inside the buffer, or 0.
int find_pe_resource(const unsigned char* file, size_t size, const char* type_name,
                     unsigned id, size_t* offset, size_t* length);
