#pragma once
// The payload archive: a CRC-32 of everything after it, an entry count, then
// the entries back to back (name, terminator, content CRC, compressed length,
// one zlib stream). All integers unsigned 32-bit little-endian, unaligned.
// Portable: no Win32 types.

constexpr unsigned kPayloadResourceId = 103;
constexpr const char* kPayloadResourceType = "RAWDATA";
// The archive CRC and an entry count: the smallest archive there is.
constexpr unsigned long kPayloadMinimumSize = 8;
// Name terminator, content CRC and compressed length after the name's bytes.
constexpr unsigned kEntryHeaderSize = 9;

unsigned read_u32le(const unsigned char* p);
void write_u32le(unsigned char* p, unsigned value);

// CRC-32 (zlib's crc32 from 0) of the payload's bytes after its own CRC field.
unsigned payload_crc(const unsigned char* payload, unsigned long size);
// 1 when the payload is at least 8 bytes long and its stored CRC matches.
int payload_crc_matches(const unsigned char* payload, unsigned long size);

// The entry after `entry`, by its name length and compressed length alone.
const unsigned char* next_entry(const unsigned char* entry);

struct PayloadEntry {
    const char* name;
    unsigned name_length;
    unsigned content_crc;
    unsigned compressed_length;
    const unsigned char* data;
    const unsigned char* next;
};

// Reads the entry at `entry` when all of it lies before `end`: its name's
// terminator, both header fields and all compressed bytes. Answers 0, and
// reads nothing past `end`, for an entry that would run past it.
int read_entry(const unsigned char* entry, const unsigned char* end, PayloadEntry* out);
