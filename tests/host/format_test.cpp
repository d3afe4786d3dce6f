#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "payload/entry_name.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"

namespace {

using Bytes = std::vector<unsigned char>;

void put_u32(Bytes& out, unsigned value) {
    unsigned char b[4];
    write_u32le(b, value);
    out.insert(out.end(), b, b + 4);
}

Bytes deflate_bytes(const std::string& content) {
    uLongf size = compressBound(content.size());
    Bytes out(size);
    EXPECT_EQ(Z_OK, compress2(out.data(), &size, reinterpret_cast<const Bytef*>(content.data()),
                              content.size(), Z_DEFAULT_COMPRESSION));
    out.resize(size);
    return out;
}

unsigned crc_of(const std::string& content) {
    return crc32(0, reinterpret_cast<const Bytef*>(content.data()), content.size());
}

void put_entry(Bytes& out, const std::string& name, unsigned crc, const Bytes& stream) {
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    put_u32(out, crc);
    put_u32(out, static_cast<unsigned>(stream.size()));
    out.insert(out.end(), stream.begin(), stream.end());
}

// A whole archive with a correct CRC over the given entry bytes.
Bytes archive(unsigned count, const Bytes& entries) {
    Bytes out(4, 0);
    put_u32(out, count);
    out.insert(out.end(), entries.begin(), entries.end());
    write_u32le(out.data(), payload_crc(out.data(), out.size()));
    return out;
}

Bytes sample_archive() {
    Bytes entries;
    put_entry(entries, "Zaphio.exe", crc_of("player"), deflate_bytes("player"));
    put_entry(entries, "Plugins\\note.txt", crc_of(""), deflate_bytes(""));
    put_entry(entries, "Skins\\base.s4u", crc_of("skin skin skin"), deflate_bytes("skin skin skin"));
    return archive(3, entries);
}

}  // namespace

TEST(PayloadCrc, TheEightByteEmptyArchiveVerifies) {
    const Bytes empty = archive(0, {});
    ASSERT_EQ(8u, empty.size());
    EXPECT_EQ(1, payload_crc_matches(empty.data(), empty.size()));
    PayloadEntry entry;
    EXPECT_EQ(0, read_entry(empty.data() + 8, empty.data() + empty.size(), &entry));
}

TEST(PayloadCrc, SizesUnderEightFailWhateverTheyHold) {
    Bytes tiny = archive(0, {});
    for (unsigned size = 0; size < 8; ++size) {
        EXPECT_EQ(0, payload_crc_matches(tiny.data(), size)) << size;
    }
}

TEST(PayloadCrc, EverySingleByteChangeIsDetected) {
    const Bytes good = sample_archive();
    ASSERT_EQ(1, payload_crc_matches(good.data(), good.size()));
    for (std::size_t offset = 0; offset < good.size(); ++offset) {
        for (unsigned flip : {0x01u, 0x80u, 0xFFu}) {
            Bytes bad = good;
            bad[offset] ^= static_cast<unsigned char>(flip);
            ASSERT_EQ(0, payload_crc_matches(bad.data(), bad.size())) << offset << " " << flip;
        }
    }
}

TEST(PayloadWalk, NextEntrySkipsNameHeaderAndData) {
    Bytes entry;
    put_entry(entry, "a", 0, Bytes(10, 0));
    EXPECT_EQ(entry.data() + 20, next_entry(entry.data()));
}

TEST(PayloadWalk, BoundedReaderFollowsTheEntriesToTheEnd) {
    const Bytes good = sample_archive();
    const unsigned char* end = good.data() + good.size();
    const unsigned char* p = good.data() + 8;
    const char* names[] = {"Zaphio.exe", "Plugins\\note.txt", "Skins\\base.s4u"};
    for (const char* name : names) {
        PayloadEntry entry;
        ASSERT_EQ(1, read_entry(p, end, &entry));
        EXPECT_STREQ(name, entry.name);
        EXPECT_EQ(std::strlen(name), entry.name_length);
        EXPECT_EQ(next_entry(p), entry.next);
        p = entry.next;
    }
    EXPECT_EQ(end, p);
}

TEST(PayloadWalk, AnEntryThatRunsPastTheEndIsRefusedAtEveryCut) {
    const Bytes good = sample_archive();
    const unsigned char* first = good.data() + 8;
    PayloadEntry whole;
    ASSERT_EQ(1, read_entry(first, good.data() + good.size(), &whole));
    const std::size_t entry_size = whole.next - first;
    // Every cut short of the whole entry: inside the name, inside the
    // header, inside the data. Copies make ASan see any read past the cut.
    for (std::size_t cut = 0; cut < entry_size; ++cut) {
        Bytes part(first, first + cut);
        PayloadEntry entry;
        EXPECT_EQ(0, read_entry(part.data(), part.data() + part.size(), &entry)) << cut;
    }
    Bytes exact(first, first + entry_size);
    PayloadEntry entry;
    EXPECT_EQ(1, read_entry(exact.data(), exact.data() + exact.size(), &entry));
}

TEST(PayloadWalk, AHugeLengthDoesNotWrapAround) {
    Bytes entries;
    put_entry(entries, "x", 0, Bytes(4, 0));
    write_u32le(entries.data() + 2 + 4, 0xFFFFFFF0u);
    PayloadEntry entry;
    EXPECT_EQ(0, read_entry(entries.data(), entries.data() + entries.size(), &entry));
}

TEST(PayloadFormat, FieldsAreLittleEndianWhateverTheMachine) {
    unsigned char b[4];
    write_u32le(b, 0x12345678u);
    EXPECT_EQ(0x78, b[0]);
    EXPECT_EQ(0x12, b[3]);
    EXPECT_EQ(0x12345678u, read_u32le(b));
}

namespace {

struct Collected {
    std::string bytes;
    int pieces = 0;
    int fail_at = -1;
};

int collect(void* context, const unsigned char* bytes, unsigned count) {
    Collected* c = static_cast<Collected*>(context);
    if (c->pieces++ == c->fail_at) return 0;
    c->bytes.append(reinterpret_cast<const char*>(bytes), count);
    return 1;
}

InflateOutcome run(const Bytes& stream, unsigned crc, Collected* out, unsigned piece = 10000) {
    std::vector<unsigned char> buffer(piece);
    InflateJob job{stream.data(), static_cast<unsigned>(stream.size()), crc, buffer.data(), piece,
                   collect, out, nullptr, nullptr};
    return inflate_entry(job);
}

std::string mixed_content(std::size_t size) {
    std::string s;
    unsigned x = 12345;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        s.push_back(static_cast<char>((x >> 16) & 0x3F));
    }
    return s;
}

}  // namespace

TEST(InflateEntry, WritesEveryPieceAndChecksTheCrc) {
    const std::string content = mixed_content(123457);
    Collected out;
    EXPECT_EQ(kInflateDone, run(deflate_bytes(content), crc_of(content), &out));
    EXPECT_EQ(content, out.bytes);
    EXPECT_GE(out.pieces, 13);  // pieces of at most 10000 bytes
}

TEST(InflateEntry, AnEmptyFileWritesNothing) {
    Collected out;
    const Bytes stream = deflate_bytes("");
    EXPECT_EQ(8u, stream.size());
    EXPECT_EQ(kInflateDone, run(stream, 0, &out));
    EXPECT_EQ(0, out.pieces);
}

TEST(InflateEntry, DamagedStreamsFailWithoutLooping) {
    const std::string content = mixed_content(50000);
    const Bytes good = deflate_bytes(content);
    Collected out;
    // Cut short anywhere: never Z_STREAM_END, never an endless loop.
    for (std::size_t cut : {std::size_t(0), std::size_t(1), std::size_t(2), good.size() / 2,
                            good.size() - 4, good.size() - 1}) {
        Bytes part(good.begin(), good.begin() + cut);
        Collected o;
        EXPECT_EQ(kInflateDataDamaged, run(part, crc_of(content), &o)) << cut;
    }
    Bytes bad_adler = good;
    bad_adler.back() ^= 1;
    EXPECT_EQ(kInflateDataDamaged, run(bad_adler, crc_of(content), &out));
    Bytes bad_header = good;
    bad_header[0] = 0x79;
    EXPECT_EQ(kInflateDataDamaged, run(bad_header, crc_of(content), &out));
}

TEST(InflateEntry, TrailingBytesAfterTheStreamAreIgnored) {
    Bytes stream = deflate_bytes("hello");
    stream.push_back(0xAB);
    stream.push_back(0xCD);
    Collected out;
    EXPECT_EQ(kInflateDone, run(stream, crc_of("hello"), &out));
    EXPECT_EQ("hello", out.bytes);
}

TEST(InflateEntry, APresetDictionaryStreamIsDamagedData) {
    z_stream s{};
    ASSERT_EQ(Z_OK, deflateInit(&s, Z_DEFAULT_COMPRESSION));
    const char dictionary[] = "dictionary";
    ASSERT_EQ(Z_OK, deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(dictionary), 10));
    unsigned char in[] = "dictionary words";
    Bytes out(128);
    s.next_in = in;
    s.avail_in = sizeof in - 1;
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    ASSERT_EQ(Z_STREAM_END, deflate(&s, Z_FINISH));
    out.resize(s.total_out);
    deflateEnd(&s);
    Collected collected;
    EXPECT_EQ(kInflateDataDamaged, run(out, crc_of("dictionary words"), &collected));
}

TEST(InflateEntry, CrcMismatchComesAfterEverythingWasWritten) {
    const std::string content = mixed_content(30000);
    Collected out;
    EXPECT_EQ(kInflateCrcMismatch, run(deflate_bytes(content), crc_of(content) ^ 1, &out));
    EXPECT_EQ(content, out.bytes);
}

TEST(InflateEntry, ASinkFailureStopsAtOnce) {
    const std::string content = mixed_content(40000);
    Collected out;
    out.fail_at = 1;
    EXPECT_EQ(kInflateSinkFailed, run(deflate_bytes(content), crc_of(content), &out));
    EXPECT_EQ(2, out.pieces);
}

TEST(EntryName, UnsafeNamesAreRefusedEitherWay) {
    struct Case {
        const char* name;
        EntryNameProblem problem;
    } cases[] = {
        {"Zaphio.exe", kNameSafe},
        {"Plugins\\a.dll", kNameSafe},
        {"Skins/b.s4u", kNameSafe},
        {"a..b\\c.d", kNameSafe},
        {"CONSOLE.txt", kNameSafe},
        {"COM0", kNameSafe},
        {"", kNameEmpty},
        {"\\x", kNameAbsolute},
        {"/x", kNameAbsolute},
        {"\\\\server\\share\\x", kNameAbsolute},
        {"\\\\?\\C:\\x", kNameAbsolute},
        {"C:\\x", kNameColon},
        {"C:x", kNameColon},
        {"a.txt:stream", kNameColon},
        {"..\\evil.exe", kNameBadComponent},
        {"a\\..\\..\\b", kNameBadComponent},
        {"a/../b", kNameBadComponent},
        {".\\a", kNameBadComponent},
        {"a\\\\b", kNameBadComponent},
        {"a\\", kNameBadComponent},
        {"CON", kNameDevice},
        {"a\\con.txt", kNameDevice},
        {"Plugins/NUL", kNameDevice},
        {"lpt9.log", kNameDevice},
        {"com1", kNameDevice},
        {"AUX .txt", kNameDevice},
        {"prn.a.b", kNameDevice},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.problem, check_entry_name(c.name, std::strlen(c.name), false)) << c.name;
        EXPECT_EQ(c.problem, check_entry_name(c.name, std::strlen(c.name), true)) << c.name;
    }
}

TEST(EntryName, ThePackerAlsoRefusesWhatWindowsCannotHoldFaithfully) {
    struct Case {
        const char* name;
        EntryNameProblem problem;
    } cases[] = {
        {"a?.txt", kNameForbiddenChar}, {"a|b", kNameForbiddenChar}, {"tab\there", kNameForbiddenChar},
        {"caf\xE9.txt", kNameNotAscii},  {"dot.", kNameTrailingDotOrBlank},
        {"blank \\x", kNameTrailingDotOrBlank},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.problem, check_entry_name(c.name, std::strlen(c.name), true)) << c.name;
        EXPECT_EQ(kNameSafe, check_entry_name(c.name, std::strlen(c.name), false)) << c.name;
    }
    const std::string long_name(260, 'a');
    EXPECT_EQ(kNameTooLong, check_entry_name(long_name.c_str(), 260, true));
    EXPECT_EQ(kNameSafe, check_entry_name(long_name.c_str(), 259, true));
    // A name with a zero byte inside its counted length.
    EXPECT_NE(kNameSafe, check_entry_name("a\0b", 3, false));
}
