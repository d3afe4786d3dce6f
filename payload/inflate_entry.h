#pragma once
// Inflating one entry's zlib stream into a sink, piece by piece, with the
// running CRC-32 of what the sink took. The setup program's sink writes the
// file; the packer's list and verify count and check the same way, so both
// meet damaged data alike (its extract has a loop of its own that judges
// damage the same way, to inflate while another thread writes). Portable: no
// Win32 types.

// Takes one piece; answers 1 when all of it was stored, 0 otherwise.
typedef int (*InflateSink)(void* context, const unsigned char* bytes, unsigned count);
// zlib's allocation interface (opaque, items, size).
typedef void* (*InflateAlloc)(void* opaque, unsigned items, unsigned size);
typedef void (*InflateRelease)(void* opaque, void* block);

enum InflateOutcome {
    kInflateDone = 0,         // the whole stream went to the sink and its CRC matched
    kInflateInitFailed = 1,   // the decompressor could not be initialised
    kInflateDataDamaged = 2,  // inflate failed: damaged data, cut short, dictionary, memory
    kInflateSinkFailed = 3,   // the sink did not take a piece
    kInflateCrcMismatch = 4,  // the stream inflated but its CRC differs
};

struct InflateJob {
    const unsigned char* data;
    unsigned length;
    unsigned expected_crc;
    unsigned char* buffer;    // the caller's output buffer
    unsigned buffer_size;     // bytes per piece
    InflateSink sink;
    void* sink_context;
    InflateAlloc alloc;       // null: zlib's own
    InflateRelease release;
};

InflateOutcome inflate_entry(const InflateJob& job);
