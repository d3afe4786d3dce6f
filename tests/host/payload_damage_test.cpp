// Every single-byte change of a real packed payload is caught by the archive
// CRC: all 255 other values at every offset, the stored CRC's four bytes
// included. CRC-32 detects every error confined to 32 consecutive bits, so
// this must hold for any payload; trying all of them shows that the check
// covers every byte from offset 4 to the end and compares the whole field.
#include <gtest/gtest.h>

#include <string>

#include "payload/format.h"
#include "tests/host/packer_test_support.h"

namespace {

using namespace packer_test;

// A few kilobytes: names in directories, an empty file, text and bytes that
// hardly compress.
Bytes packed_sample() {
    ScratchDir scratch;
    std::string noise;
    unsigned x = 2024;
    for (int i = 0; i < 2500; ++i) {
        x = x * 1103515245u + 12345u;
        noise.push_back(static_cast<char>(x >> 23));
    }
    write_file(scratch / "in/Zaphio.exe", noise);
    write_file(scratch / "in/Readme.txt", "Quenvale Tonvaro\r\nRead me first.\r\n");
    write_file(scratch / "in/Plugins/empty.txt", "");
    write_file(scratch / "in/Skins/Graphite.s4u", "[Skin]\r\nName=Graphite\r\nColour=404040\r\n");
    const ToolRun pack = run({"pack", scratch / "in", "-o", scratch / "payload.bin"});
    EXPECT_EQ(0, pack.code) << pack.err;
    return read_bytes(scratch / "payload.bin");
}

}  // namespace

TEST(PayloadDamage, EveryValueOfEveryByteFailsVerification) {
    Bytes payload = packed_sample();
    ASSERT_GE(payload.size(), 2500u);
    ASSERT_LE(payload.size(), 4096u);
    ASSERT_EQ(1, payload_crc_matches(payload.data(), payload.size()));
    unsigned long long variants = 0, passed = 0;
    std::size_t first_offset = 0;
    for (std::size_t offset = 0; offset < payload.size(); ++offset) {
        const unsigned char original = payload[offset];
        for (unsigned value = 0; value < 256; ++value) {
            if (value == original) continue;
            payload[offset] = static_cast<unsigned char>(value);
            ++variants;
            if (payload_crc_matches(payload.data(), payload.size()) && passed++ == 0) {
                first_offset = offset;
            }
        }
        payload[offset] = original;
    }
    EXPECT_EQ(0u, passed) << "the first at offset " << first_offset;
    EXPECT_EQ(255ull * payload.size(), variants);
    RecordProperty("payload_bytes", static_cast<int>(payload.size()));
    RecordProperty("damaged_variants", std::to_string(variants));
}
