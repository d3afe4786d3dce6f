#include "payload/packer/pe_resource.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/host/packer_test_support.h"

namespace {

using namespace packer_test;

constexpr unsigned kTree = 0x200;  // file offset of the resource section
constexpr unsigned kTreeRva = 0x1000;
constexpr unsigned kSubdirectory = 0x80000000u;

// A minimal image whose only section holds a resource tree with a decoy
// type "RAWDATAS" (also with id 103), RAWDATA/101 pointing at decoy data, and
// RAWDATA/103 in language 1031 pointing at the payload, which ends the file.
Bytes make_pe(bool plus, const Bytes& payload) {
    const unsigned section_size = 0x150 + static_cast<unsigned>(payload.size());
    Bytes file(kTree + section_size, 0);
    auto put16 = [&](size_t at, unsigned v) {
        file[at] = static_cast<unsigned char>(v);
        file[at + 1] = static_cast<unsigned char>(v >> 8);
    };
    auto put32 = [&](size_t at, unsigned v) { write_u32le(&file[at], v); };
    file[0] = 'M';
    file[1] = 'Z';
    put32(0x3C, 0x40);
    put32(0x40, 0x00004550);
    const unsigned optional = 0x58, optional_size = plus ? 0xF0 : 0xE0;
    put16(0x44, plus ? 0x8664 : 0x14C);
    put16(0x46, 1);
    put16(0x54, optional_size);
    put16(optional, plus ? 0x20B : 0x10B);
    const unsigned directories = optional + (plus ? 112 : 96);
    put32(directories - 4, 16);
    put32(directories + 16, kTreeRva);
    put32(directories + 20, section_size);
    const unsigned section = optional + optional_size;
    memcpy(&file[section], ".rsrc", 5);
    put32(section + 8, section_size);
    put32(section + 12, kTreeRva);
    put32(section + 16, section_size);
    put32(section + 20, kTree);

    auto directory = [&](unsigned at, unsigned named, unsigned ids) {
        put16(kTree + at + 12, named);
        put16(kTree + at + 14, ids);
    };
    auto entry = [&](unsigned at, unsigned index, unsigned key, unsigned value) {
        put32(kTree + at + 16 + 8 * index, key);
        put32(kTree + at + 20 + 8 * index, value);
    };
    auto name = [&](unsigned at, const char* text) {
        put16(kTree + at, static_cast<unsigned>(strlen(text)));
        for (unsigned i = 0; text[i] != 0; ++i) put16(kTree + at + 2 + 2 * i, static_cast<unsigned char>(text[i]));
    };
    directory(0x00, 2, 1);
    entry(0x00, 0, kSubdirectory | 0x100, kSubdirectory | 0x40);
    entry(0x00, 1, kSubdirectory | 0x120, kSubdirectory | 0x70);
    entry(0x00, 2, 3, kSubdirectory | 0x40);
    directory(0x40, 0, 1);
    entry(0x40, 0, 103, kSubdirectory | 0x58);
    directory(0x58, 0, 1);
    entry(0x58, 0, 1033, 0xC0);
    directory(0x70, 0, 2);
    entry(0x70, 0, 101, kSubdirectory | 0x58);
    entry(0x70, 1, 103, kSubdirectory | 0x90);
    directory(0x90, 0, 1);
    entry(0x90, 0, 1031, 0xD0);
    put32(kTree + 0xC0, kTreeRva + 0x140);
    put32(kTree + 0xC4, 4);
    put32(kTree + 0xD0, kTreeRva + 0x150);
    put32(kTree + 0xD4, static_cast<unsigned>(payload.size()));
    name(0x100, "RAWDATAS");
    name(0x120, "RAWDATA");
    memcpy(&file[kTree + 0x140], "junk", 4);
    memcpy(&file[kTree + 0x150], payload.data(), payload.size());
    return file;
}

int find(const Bytes& file, const char* type, unsigned id, Bytes* data = nullptr) {
    size_t offset = 0, length = 0;
    const int found = find_pe_resource(file.data(), file.size(), type, id, &offset, &length);
    if (found && data != nullptr) *data = Bytes(file.begin() + offset, file.begin() + offset + length);
    return found;
}

const Bytes kPayload = hand_archive(1, {hand_entry("app\\tool.exe", "tool")});

TEST(PeResource, FindsRawData103InPe32AndPe32PlusForEveryVerb) {
    for (const bool plus : {false, true}) {
        const Bytes pe = make_pe(plus, kPayload);
        Bytes found;
        ASSERT_EQ(1, find(pe, "RAWDATA", 103, &found)) << plus;
        EXPECT_EQ(kPayload, found);
        EXPECT_EQ(0, find(pe, "RAWDATA", 102));
        EXPECT_EQ(0, find(pe, "RAWDAT", 103));
        EXPECT_EQ(0, find(pe, "RAWDATAX", 103));
        EXPECT_EQ(0, find(pe, "rawdata", 103));

        ScratchDir scratch;
        write_bytes(scratch / "setup.exe", pe);
        const ToolRun verify = run({"verify", scratch / "setup.exe"});
        EXPECT_EQ(0, verify.code) << verify.err;
        EXPECT_EQ("ok: 1 entries, 4 bytes\n", verify.out);
        EXPECT_NE(std::string::npos, run({"list", scratch / "setup.exe"}).out.find(" app\\tool.exe\n"));
        EXPECT_EQ(0, run({"extract", scratch / "setup.exe", "-d", scratch / "dest"}).code);
        EXPECT_EQ("tool", read_file(scratch / "dest/app/tool.exe"));
    }
}

TEST(PeResource, SetupWithoutAWholePayloadIsDamaged) {
    Bytes pe = make_pe(false, kPayload);
    pe.back() ^= 1;
    ScratchDir scratch;
    write_bytes(scratch / "setup.exe", pe);
    ToolRun verify = run({"verify", scratch / "setup.exe"});
    EXPECT_EQ(1, verify.code);
    EXPECT_NE(std::string::npos, verify.err.find("the archive CRC does not match")) << verify.err;

    write_u32le(&pe[kTree + 0x70 + 24], 104);
    write_bytes(scratch / "setup.exe", pe);
    verify = run({"verify", scratch / "setup.exe"});
    EXPECT_EQ(1, verify.code);
    EXPECT_NE(std::string::npos, verify.err.find("without a readable RAWDATA/103 resource")) << verify.err;
}

TEST(PeResource, EveryTruncationFailsCleanly) {
    for (const bool plus : {false, true}) {
        const Bytes pe = make_pe(plus, kPayload);
        for (size_t size = 0; size < pe.size(); ++size) {
            const Bytes cut(pe.begin(), pe.begin() + size);
            EXPECT_EQ(0, find(cut, "RAWDATA", 103)) << plus << " " << size;
        }
    }
}

TEST(PeResource, GarbledBytesNeverLeadOutsideTheFile) {
    for (const bool plus : {false, true}) {
        const Bytes pe = make_pe(plus, kPayload);
        for (size_t at = 0; at < pe.size(); ++at) {
            for (const unsigned char value : {0x00, 0x7F, 0x80, 0xFF}) {
                Bytes garbled = pe;
                garbled[at] = value;
                size_t offset = 0, length = 0;
                if (find_pe_resource(garbled.data(), garbled.size(), "RAWDATA", 103, &offset, &length)) {
                    EXPECT_LE(offset + length, garbled.size()) << at;
                }
            }
        }
    }
}

TEST(PeResource, DirectoriesPointingBackUpwardsEnd) {
    Bytes pe = make_pe(true, kPayload);
    write_u32le(&pe[kTree + 0x90 + 20], kSubdirectory | 0x90);
    EXPECT_EQ(0, find(pe, "RAWDATA", 103));
    pe = make_pe(true, kPayload);
    write_u32le(&pe[kTree + 0x70 + 28], kSubdirectory | 0x00);
    EXPECT_EQ(0, find(pe, "RAWDATA", 103));
    pe = make_pe(true, kPayload);
    write_u32le(&pe[kTree + 0x00 + 28], kSubdirectory | 0x00);
    EXPECT_EQ(0, find(pe, "RAWDATA", 103));
}

}  // namespace
