#pragma once
// One file of the product made into its entry's zlib stream, on a worker
// thread of the packer.

#include <memory>
#include <string>
#include <vector>

// Files are read and their streams kept in pieces of this size: a stream
// grows without being copied, and no file is ever held whole.
constexpr size_t kPiece = 1u << 20;

// One entry's stream as a worker made it; the writer appends the entries in
// archive order and reports the first failure in that order, so that the
// bytes and the messages do not depend on the number of threads.
struct PackedEntry {
    std::vector<std::unique_ptr<unsigned char[]>> pieces;
    size_t length = 0;
    unsigned crc = 0;
    int code = 0;
    std::string problem;
    bool ready = false;
};

// What a worker keeps from one entry to the next.
struct Compressor;
Compressor* start_compressor(int level);
void free_compressor(Compressor* compressor);

// DIR/relative into `out`, which holds the stream, its content CRC, or the
// exit code and the message of the failure.
void compress_entry(Compressor* compressor, const char* dir, const std::string& relative, PackedEntry* out);
