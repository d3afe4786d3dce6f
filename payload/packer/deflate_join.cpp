#include "payload/packer/deflate_join.h"

#include <zlib.h>

#include <cstring>

size_t open_deflate_end(unsigned char* data, size_t size) {
    z_stream stream;
    memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, -15) != Z_OK) return 0;
    stream.next_in = data;
    stream.avail_in = static_cast<uInt>(size);
    // Where the header of the block being read starts: its first bit is the
    // final-block flag. The first block starts at the first bit.
    size_t header_byte = 0;
    unsigned header_bit = 0;
    unsigned spare_bits = 0;  // unused bits of the last byte, once at the end
    unsigned char sink[1 << 15];
    int z = Z_OK;
    bool ended = false;
    while (z == Z_OK && !ended) {
        stream.next_out = sink;
        stream.avail_out = sizeof sink;
        const uInt before = stream.avail_in;
        z = inflate(&stream, Z_BLOCK);
        // Without this, a block boundary inside the output's room would
        // pass unseen; Z_BLOCK makes inflate stop at every one.
        const size_t used = size - stream.avail_in;
        const unsigned bits = static_cast<unsigned>(stream.data_type) & 7;
        if (z == Z_OK && (stream.data_type & 128) != 0) {
            if ((stream.data_type & 64) != 0) {
                ended = true;
                spare_bits = bits;
            } else {
                header_byte = bits == 0 ? used : used - 1;
                header_bit = bits == 0 ? 0 : 8 - bits;
            }
        } else if (z == Z_OK && stream.avail_in == before && stream.avail_out == sizeof sink) {
            z = Z_BUF_ERROR;  // no progress: the stream is cut short
        }
    }
    const bool whole = ended && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!whole) return 0;
    data[header_byte] = static_cast<unsigned char>(data[header_byte] & ~(1u << header_bit));
    if (spare_bits == 0) return size;
    // The padding becomes the stored block's three header bits (all zero:
    // not final, stored) where it has room for them; the rest of the byte is
    // skipped, and LEN 0, NLEN 0xFFFF follow.
    data[size - 1] = static_cast<unsigned char>(data[size - 1] & ((1u << (8 - spare_bits)) - 1));
    if (spare_bits < 3) data[size++] = 0;
    static constexpr unsigned char kEmptyStored[] = {0x00, 0x00, 0xFF, 0xFF};
    memcpy(data + size, kEmptyStored, sizeof kEmptyStored);
    return size + sizeof kEmptyStored;
}
