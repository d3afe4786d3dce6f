#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "payload/packer/deflate_join.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes raw_inflate(const Bytes& stream, int* end) {
    z_stream z = {};
    inflateInit2(&z, -15);
    Bytes out(1 << 22);
    z.next_in = const_cast<unsigned char*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    *end = inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

// Pieces of every kind (stored, fixed and dynamic blocks, empty ones) end on
// every bit of their last byte; joined, they inflate as one stream.
TEST(DeflateJoin, PiecesEndingOnEveryBitInflateAsOneStream) {
    std::mt19937 generator(5);
    Bytes joined, expected;
    std::set<size_t> growths;
    for (int i = 0; i < 400; ++i) {
        const int level = 1 + i % 12;
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
        ASSERT_NE(nullptr, compressor);
        Bytes content(generator() % 3000);
        const unsigned alphabet = i % 3 == 0 ? 256 : 2 + i % 9;
        for (unsigned char& c : content) c = static_cast<unsigned char>('a' + generator() % alphabet);
        Bytes piece(libdeflate_deflate_compress_bound(compressor, content.size()) + kDeflateJoinRoom);
        const size_t made = libdeflate_deflate_compress(compressor, content.data(), content.size(), piece.data(),
                                                        piece.size() - kDeflateJoinRoom);
        libdeflate_free_compressor(compressor);
        ASSERT_NE(0u, made);
        const size_t opened = open_deflate_end(piece.data(), made);
        ASSERT_NE(0u, opened) << i;
        growths.insert(opened - made);
        joined.insert(joined.end(), piece.begin(), piece.begin() + static_cast<long>(opened));
        expected.insert(expected.end(), content.begin(), content.end());
    }
    // Ended on a byte boundary, with room for the stored block's header in
    // the last byte, and without it.
    EXPECT_EQ((std::set<size_t>{0, 4, 5}), growths);
    // A final empty block ends the joined stream.
    joined.push_back(0x03);
    joined.push_back(0x00);
    int end = 0;
    EXPECT_EQ(expected, raw_inflate(joined, &end));
    EXPECT_TRUE(end);
}

TEST(DeflateJoin, RefusesAnythingButOneCompleteStream) {
    const std::string text(5000, 'q');
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(6);
    Bytes piece(libdeflate_deflate_compress_bound(compressor, text.size()) + 16);
    const size_t made = libdeflate_deflate_compress(compressor, text.data(), text.size(), piece.data(), piece.size() - 16);
    libdeflate_free_compressor(compressor);
    ASSERT_LT(2u, made);
    Bytes copy = piece;
    EXPECT_EQ(0u, open_deflate_end(copy.data(), made - 1)) << "cut short";
    copy = piece;
    copy[made] = 0x55;
    EXPECT_EQ(0u, open_deflate_end(copy.data(), made + 1)) << "a byte after its end";
    copy = piece;
    copy[0] |= 6;  // block type 3, which does not exist
    EXPECT_EQ(0u, open_deflate_end(copy.data(), made)) << "damaged";
}

}  // namespace
