// Inflating entries of awkward sizes, and zlib's memory coming and going
// through the caller's allocation functions, as the setup program uses them.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "payload/extract.h"
#include "payload/inflate_entry.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes deflate_bytes(const Bytes& content) {
    uLongf size = compressBound(content.size());
    Bytes out(size);
    EXPECT_EQ(Z_OK, compress2(out.data(), &size, content.data(), content.size(),
                              Z_DEFAULT_COMPRESSION));
    out.resize(size);
    return out;
}

unsigned crc_of(const Bytes& content) {
    return static_cast<unsigned>(crc32(0, content.data(), static_cast<uInt>(content.size())));
}

// Random bytes with runs mixed in, so that both stored and compressed
// deflate blocks occur.
Bytes random_content(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const unsigned char byte = static_cast<unsigned char>(random());
        const std::size_t run = random() % 8 == 0 ? random() % 300 : 1;
        for (std::size_t i = 0; i < run && out.size() < size; ++i) out.push_back(byte);
    }
    return out;
}

struct Pieces {
    Bytes bytes;
    std::vector<unsigned> sizes;
};

int keep(void* context, const unsigned char* bytes, unsigned count) {
    Pieces* p = static_cast<Pieces*>(context);
    p->bytes.insert(p->bytes.end(), bytes, bytes + count);
    p->sizes.push_back(count);
    return 1;
}

int refuse_third(void* context, const unsigned char* bytes, unsigned count) {
    Pieces* p = static_cast<Pieces*>(context);
    if (p->sizes.size() == 2) return 0;
    return keep(context, bytes, count);
}

// Counts zlib's blocks; refuses the block numbered `fail_at` (from 0).
struct Ledger {
    int taken = 0;
    int released = 0;
    int fail_at = -1;
};

// inflate_entry hands zlib no opaque pointer: the ledger of the job at hand.
Ledger* g_ledger = nullptr;

void* ledger_alloc(void*, unsigned items, unsigned size) {
    const int number = g_ledger->taken++;
    return number == g_ledger->fail_at ? nullptr : std::calloc(items, size);
}

void ledger_release(void*, void* block) {
    ++g_ledger->released;
    std::free(block);
}

InflateOutcome inflate_into(const Bytes& stream, unsigned crc, Pieces* out,
                            InflateSink sink = keep, Ledger* ledger = nullptr) {
    Bytes buffer(kExtractBufferSize);
    g_ledger = ledger;
    const InflateJob job = {stream.data(),
                            static_cast<unsigned>(stream.size()),
                            crc,
                            buffer.data(),
                            kExtractBufferSize,
                            sink,
                            out,
                            ledger ? ledger_alloc : nullptr,
                            ledger ? ledger_release : nullptr};
    return inflate_entry(job);
}

}  // namespace

TEST(ExtractSizes, OutputEqualsInputAroundThePieceSize) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(9999),
                             std::size_t(10000), std::size_t(10001), std::size_t(20000),
                             std::size_t(3 * 1024 * 1024 + 17)}) {
        const Bytes content = random_content(size, static_cast<unsigned>(size) + 1);
        Pieces out;
        ASSERT_EQ(kInflateDone, inflate_into(deflate_bytes(content), crc_of(content), &out))
            << size;
        EXPECT_TRUE(out.bytes == content) << size;
        // Every piece but the last fills the buffer: one write per 10000 bytes.
        const std::size_t expected_pieces = (size + kExtractBufferSize - 1) / kExtractBufferSize;
        ASSERT_EQ(expected_pieces, out.sizes.size()) << size;
        for (std::size_t i = 0; i + 1 < out.sizes.size(); ++i) {
            EXPECT_EQ(kExtractBufferSize, out.sizes[i]) << size << " piece " << i;
        }
        if (!out.sizes.empty()) {
            EXPECT_NE(0u, out.sizes.back()) << size;
        }
    }
}

TEST(ExtractSizes, EveryZlibBlockIsReturnedWhateverTheOutcome) {
    const Bytes content = random_content(60000, 3);
    const Bytes good = deflate_bytes(content);
    Bytes damaged = good;
    damaged[good.size() / 2] ^= 0x55;
    const Bytes cut(good.begin(), good.begin() + good.size() / 2);

    struct Case {
        const char* what;
        const Bytes* stream;
        unsigned crc;
        InflateSink sink;
        InflateOutcome outcome;
    } const cases[] = {
        {"done", &good, crc_of(content), keep, kInflateDone},
        {"crc", &good, crc_of(content) ^ 0x80000000u, keep, kInflateCrcMismatch},
        {"damaged", &damaged, crc_of(content), keep, kInflateDataDamaged},
        {"cut short", &cut, crc_of(content), keep, kInflateDataDamaged},
        {"sink", &good, crc_of(content), refuse_third, kInflateSinkFailed},
    };
    for (const Case& c : cases) {
        Ledger ledger;
        Pieces out;
        EXPECT_EQ(c.outcome, inflate_into(*c.stream, c.crc, &out, c.sink, &ledger)) << c.what;
        EXPECT_GT(ledger.taken, 0) << c.what;
        EXPECT_EQ(ledger.taken, ledger.released) << c.what;
    }
}

TEST(ExtractSizes, RefusedMemoryIsInitialisationOrDamagedData) {
    const Bytes content = random_content(30000, 5);
    const Bytes stream = deflate_bytes(content);
    // zlib's state comes first, its window with the first output.
    Ledger no_state;
    no_state.fail_at = 0;
    Pieces out;
    EXPECT_EQ(kInflateInitFailed, inflate_into(stream, crc_of(content), &out, keep, &no_state));
    EXPECT_EQ(no_state.taken - 1, no_state.released);

    Ledger no_window;
    no_window.fail_at = 1;
    Pieces out2;
    EXPECT_EQ(kInflateDataDamaged, inflate_into(stream, crc_of(content), &out2, keep, &no_window));
    EXPECT_TRUE(out2.bytes.empty());
    EXPECT_EQ(no_window.taken - 1, no_window.released);
}
