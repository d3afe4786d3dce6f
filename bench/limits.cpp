// The limits the benchmark holds the payload code against, timed in this
// process over a payload already in memory:
//   limits verify PAYLOAD   payload_crc_matches, and one bare crc32 pass
//   limits inflate PAYLOAD  every entry inflated with its crc32 into memory
// Each prints "<what> <seconds>" lines; run.py takes the medians.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "payload/format.h"

namespace {

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The bare pass: crc32 over the same bytes, in the largest slices it takes.
unsigned long bare_crc(const unsigned char* p, unsigned long size) {
    unsigned long crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt slice = size > 0x40000000ul ? 0x40000000u : static_cast<uInt>(size);
        crc = crc32(crc, p, slice);
        p += slice;
        size -= slice;
    }
    return crc;
}

// Raw inflate of every entry into one reused buffer, with its crc32 compared:
// the least any extraction has to do.
int inflate_all(const unsigned char* payload, unsigned long size, unsigned long long* total) {
    static std::vector<unsigned char> out(1u << 20);
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK) return 0;
    const unsigned char* at = payload + kPayloadMinimumSize;
    const unsigned count = read_u32le(payload + 4);
    int ok = 1;
    for (unsigned i = 0; ok && i < count; ++i) {
        PayloadEntry entry;
        if (!read_entry(at, payload + size, &entry)) { ok = 0; break; }
        inflateReset(&stream);
        stream.next_in = const_cast<Bytef*>(entry.data);
        stream.avail_in = entry.compressed_length;
        unsigned long crc = crc32(0L, Z_NULL, 0);
        int r;
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            r = inflate(&stream, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END) { ok = 0; break; }
            const unsigned k = static_cast<unsigned>(out.size()) - stream.avail_out;
            crc = crc32(crc, out.data(), k);
            *total += k;
        } while (r != Z_STREAM_END);
        if (ok && static_cast<unsigned>(crc) != entry.content_crc) ok = 0;
        at = entry.next;
    }
    inflateEnd(&stream);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: limits verify|inflate PAYLOAD RUNS\n");
        return 2;
    }
    const int fd = open(argv[2], O_RDONLY);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0) { std::perror(argv[2]); return 1; }
    const unsigned long size = static_cast<unsigned long>(status.st_size);
    // Private and touched once, as resource memory is after the loader read it.
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) { std::perror("mmap"); return 1; }
    const unsigned char* payload = static_cast<const unsigned char*>(mapped);
    const int runs = std::atoi(argv[3]);
    for (int run = 0; run < runs; ++run) {
        if (std::strcmp(argv[1], "verify") == 0) {
            // Taken in turns, so that neither side always runs first.
            double verify = 0, bare = 0;
            for (int side = 0; side < 2; ++side) {
                const double start = now();
                if ((side + run) % 2 == 0) {
                    if (!payload_crc_matches(payload, size)) { std::fprintf(stderr, "archive CRC differs\n"); return 1; }
                    verify = now() - start;
                } else {
                    if (static_cast<unsigned>(bare_crc(payload + 4, size - 4)) != read_u32le(payload)) return 1;
                    bare = now() - start;
                }
            }
            std::printf("verify %.6f\ncrc32 %.6f\n", verify, bare);
        } else {
            unsigned long long total = 0;
            const double start = now();
            if (!inflate_all(payload, size, &total)) { std::fprintf(stderr, "an entry is damaged\n"); return 1; }
            std::printf("inflate %.6f\nbytes %llu\n", now() - start, total);
        }
    }
    return 0;
}
