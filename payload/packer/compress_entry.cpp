#include "payload/packer/compress_entry.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "payload/packer/archive_file.h"
#include "payload/packer/deflate_join.h"
#include "payload/packer/packer.h"

// The smallest streams: libdeflate's best level, on pieces this large, so
// that a worker holds a bounded piece of a large file rather than all of it.
// A piece starts without the window of the one before, which costs a little
// at each join.
constexpr int kLibdeflateBest = 12;
constexpr size_t kSmallestPiece = 4u << 20;

struct Compressor {
    int level;
    std::unique_ptr<unsigned char[]> input;
    libdeflate_compressor* best = nullptr;
    std::vector<unsigned char> output;
};

namespace {

std::string refusal(const std::string& relative, const char* reason) {
    return "refused " + printable_name(relative.data(), static_cast<unsigned>(relative.size())) + ": " + reason;
}

// Reads up to `room` bytes of the file; answers how many (0 at its end), or
// -1 with the refusal in `out`. `total` counts what the file gave so far.
ssize_t read_some(int fd, unsigned char* into, size_t room, const std::string& relative,
                  unsigned long long* total, PackedEntry* out) {
    ssize_t n;
    do {
        n = read(fd, into, room);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        out->code = kExitRefused;
        out->problem = refusal(relative, strerror(errno));
        return -1;
    }
    *total += static_cast<size_t>(n);
    if (*total > 0xFFFFFFFFu) {
        out->code = kExitRefused;
        out->problem = refusal(relative, "grew past 4 GiB while being read");
        return -1;
    }
    return n;
}

// The free end of the entry's last piece, a new piece when that one is full.
unsigned char* stream_room(PackedEntry* out, size_t* room) {
    const size_t used = out->length % kPiece;
    if (out->length == out->pieces.size() * kPiece) out->pieces.emplace_back(new unsigned char[kPiece]);
    *room = kPiece - used;
    return out->pieces.back().get() + used;
}

void append_stream(PackedEntry* out, const unsigned char* bytes, size_t count) {
    while (count > 0) {
        size_t room;
        unsigned char* into = stream_room(out, &room);
        const size_t step = count < room ? count : room;
        memcpy(into, bytes, step);
        out->length += step;
        bytes += step;
        count -= step;
    }
}

// One deflate stream fed piece by piece gives the same bytes as compress2()
// over the whole file, which earlier archives were made with.
int deflate_file(int fd, const std::string& relative, unsigned char* input, z_stream* stream, PackedEntry* out) {
    unsigned long long total = 0;
    unsigned long crc = crc32(0L, Z_NULL, 0);
    int flush = Z_NO_FLUSH;
    for (;;) {
        if (stream->avail_in == 0 && flush == Z_NO_FLUSH) {
            const ssize_t n = read_some(fd, input, kPiece, relative, &total, out);
            if (n < 0) return 0;
            crc = crc32(crc, input, static_cast<uInt>(n));
            stream->next_in = input;
            stream->avail_in = static_cast<uInt>(n);
            if (n == 0) flush = Z_FINISH;
        }
        size_t room;
        stream->next_out = stream_room(out, &room);
        stream->avail_out = static_cast<uInt>(room);
        const int z = deflate(stream, flush);
        out->length += room - stream->avail_out;
        if (z == Z_STREAM_END) break;
        if (z != Z_OK) return 0;
    }
    out->crc = static_cast<unsigned>(crc);
    return 1;
}

// The file in pieces, each compressed on its own and joined to the next,
// behind a zlib header that says "maximum compression" and before the
// Adler-32 of the whole content. One byte is read past a piece, so that the
// last piece is known as such and the stream needs no empty block to end.
int deflate_smallest(int fd, const std::string& relative, Compressor* compressor, PackedEntry* out) {
    unsigned char* input = compressor->input.get();
    unsigned long crc = crc32(0L, Z_NULL, 0), adler = adler32(0L, Z_NULL, 0);
    unsigned long long total = 0;
    size_t filled = 0;
    static constexpr unsigned char kHeader[] = {0x78, 0xDA};
    append_stream(out, kHeader, sizeof kHeader);
    for (;;) {
        ssize_t n = 1;
        while (n > 0 && filled < kSmallestPiece + 1) {
            n = read_some(fd, input + filled, kSmallestPiece + 1 - filled, relative, &total, out);
            if (n < 0) return 0;
            filled += static_cast<size_t>(n);
        }
        const bool end = n == 0;
        const size_t take = end ? filled : kSmallestPiece;
        crc = crc32(crc, input, static_cast<uInt>(take));
        adler = adler32(adler, input, static_cast<uInt>(take));
        unsigned char* made = compressor->output.data();
        size_t length = libdeflate_deflate_compress(compressor->best, input, take, made,
                                                    compressor->output.size() - kDeflateJoinRoom);
        if (length != 0 && !end) length = open_deflate_end(made, length);
        if (length == 0) return 0;
        append_stream(out, made, length);
        if (end) break;
        input[0] = input[kSmallestPiece];
        filled = 1;
    }
    const unsigned char trailer[] = {static_cast<unsigned char>(adler >> 24), static_cast<unsigned char>(adler >> 16),
                                     static_cast<unsigned char>(adler >> 8), static_cast<unsigned char>(adler)};
    append_stream(out, trailer, sizeof trailer);
    out->crc = static_cast<unsigned>(crc);
    return 1;
}

}  // namespace

Compressor* start_compressor(int level) {
    Compressor* compressor = new Compressor;
    compressor->level = level;
    if (level != kLevelSmallest) {
        compressor->input.reset(new unsigned char[kPiece]);
        return compressor;
    }
    compressor->input.reset(new unsigned char[kSmallestPiece + 1]);
    compressor->best = libdeflate_alloc_compressor(kLibdeflateBest);
    if (compressor->best != nullptr) {
        compressor->output.resize(libdeflate_deflate_compress_bound(compressor->best, kSmallestPiece) +
                                  kDeflateJoinRoom);
    }
    return compressor;
}

void free_compressor(Compressor* compressor) {
    if (compressor->best != nullptr) libdeflate_free_compressor(compressor->best);
    delete compressor;
}

void compress_entry(Compressor* compressor, const char* dir, const std::string& relative, PackedEntry* out) {
    const int fd = open((std::string(dir) + "/" + relative).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        out->code = kExitRefused;
        out->problem = refusal(relative, strerror(errno));
        return;
    }
    int made = 0;
    if (compressor->level == kLevelSmallest) {
        if (compressor->best != nullptr) made = deflate_smallest(fd, relative, compressor, out);
    } else {
        z_stream stream;
        memset(&stream, 0, sizeof stream);
        if (deflateInit(&stream, compressor->level) == Z_OK) {
            made = deflate_file(fd, relative, compressor->input.get(), &stream, out);
            deflateEnd(&stream);
        }
    }
    close(fd);
    if (!made && out->problem.empty()) {
        out->code = kExitDamaged;
        out->problem = "cannot compress " + relative;
    } else if (made && out->length > 0xFFFFFFFFu) {
        out->code = kExitRefused;
        out->problem = refusal(relative, "compresses to 4 GiB or more");
    }
}
