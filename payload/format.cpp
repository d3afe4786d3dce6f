#include "payload/format.h"

#include <zlib.h>

unsigned read_u32le(const unsigned char* p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8 |
           static_cast<unsigned>(p[2]) << 16 | static_cast<unsigned>(p[3]) << 24;
}

void write_u32le(unsigned char* p, unsigned value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

unsigned payload_crc(const unsigned char* payload, unsigned long size) {
    // crc32 takes a uInt length: feed very large payloads in slices.
    unsigned long crc = crc32(0L, Z_NULL, 0);
    const unsigned char* p = payload + 4;
    unsigned long left = size - 4;
    while (left > 0) {
        const uInt slice = left > 0x40000000ul ? 0x40000000u : static_cast<uInt>(left);
        crc = crc32(crc, p, slice);
        p += slice;
        left -= slice;
    }
    return static_cast<unsigned>(crc);
}

int payload_crc_matches(const unsigned char* payload, unsigned long size) {
    if (size < kPayloadMinimumSize) return 0;
    return payload_crc(payload, size) == read_u32le(payload) ? 1 : 0;
}

const unsigned char* next_entry(const unsigned char* entry) {
    unsigned n = 0;
    while (entry[n] != 0) ++n;
    return entry + n + kEntryHeaderSize + read_u32le(entry + n + 5);
}

int read_entry(const unsigned char* entry, const unsigned char* end, PayloadEntry* out) {
    if (entry >= end) return 0;
    const unsigned long room = static_cast<unsigned long>(end - entry);
    unsigned long n = 0;
    while (n < room && entry[n] != 0) ++n;
    if (n == room || room - n < kEntryHeaderSize) return 0;
    const unsigned length = read_u32le(entry + n + 5);
    if (room - n - kEntryHeaderSize < length) return 0;
    out->name = reinterpret_cast<const char*>(entry);
    out->name_length = static_cast<unsigned>(n);
    out->content_crc = read_u32le(entry + n + 1);
    out->compressed_length = length;
    out->data = entry + n + kEntryHeaderSize;
    out->next = out->data + length;
    return 1;
}
