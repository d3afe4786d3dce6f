// The text helpers on the code pages users run: Japanese (932) and
// Traditional Chinese (950), where the second byte of a character can be
// "\" or an ASCII letter, and a single-byte one, where every result stays
// as it always was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/command_line.h"
#include "common/text.h"
#include "extensions/item_text.h"
#include "payload/entry_name.h"
#include "registration/compositions.h"

namespace {

enum CodePage { kSingleByte, kJapanese, kTraditionalChinese };

// 表 and ソ in 932, 許 and 功 in 950: each ends in 0x5C.
const char kHyou[] = "\x95\x5C";
const char kSo[] = "\x83\x5C";
const char kXuGong[] = "\xB3\x5C\xA5\x5C";

class CodePageTest : public ::testing::TestWithParam<CodePage> {
protected:
    void SetUp() override {
        clear_lead_bytes();
        if (GetParam() == kJapanese) {
            set_lead_bytes(0x81, 0x9F);
            set_lead_bytes(0xE0, 0xFC);
        } else if (GetParam() == kTraditionalChinese) {
            set_lead_bytes(0x81, 0xFE);
        }
    }
    void TearDown() override { clear_lead_bytes(); }

    bool double_byte() const { return GetParam() != kSingleByte; }
    // The folder name of this code page whose last byte is 0x5C.
    std::string last_name() const { return GetParam() == kTraditionalChinese ? kXuGong : kHyou; }
};

std::string added_separator(std::string text) {
    char buffer[64];
    std::strcpy(buffer, text.c_str());
    ensure_trailing_separator(buffer);
    return buffer;
}

TEST_P(CodePageTest, TrailingSeparatorIsAWholeCharacter) {
    const std::string destination = "C:\\Apps\\" + last_name();
    if (double_byte()) {
        EXPECT_EQ(destination + "\\", added_separator(destination));
        EXPECT_EQ(0, ends_with_separator(destination.c_str()));
        EXPECT_EQ(destination.size(), trimmed_length((destination + "\\/\\").c_str()));
    } else {
        // The byte is a backslash of its own here, as the Parts describe.
        EXPECT_EQ(destination, added_separator(destination));
        EXPECT_EQ(1, ends_with_separator(destination.c_str()));
        EXPECT_EQ(destination.size() - 1, trimmed_length(destination.c_str()));
    }
    // The bounded form agrees, and one byte too few refuses.
    char buffer[64];
    std::strcpy(buffer, destination.c_str());
    char* end = ensure_trailing_separator_within(buffer, buffer + destination.size() + 2);
    ASSERT_NE(nullptr, end);
    EXPECT_EQ(double_byte() ? destination.size() + 1 : destination.size(),
              static_cast<size_t>(end - buffer));
    std::strcpy(buffer, destination.c_str());
    EXPECT_EQ(double_byte(),
              nullptr == ensure_trailing_separator_within(buffer, buffer + destination.size() + 1));
    // A lead byte that ends the text is a character of its own.
    EXPECT_EQ("C:\\\x95\\", added_separator("C:\\\x95"));
}

TEST_P(CodePageTest, LastSeparatorAndTheNameAfterIt) {
    const std::string started = std::string("C:\\") + kSo + "\x83\x74\x83\x67\\setup.exe";
    EXPECT_STREQ("setup.exe", after_last_separator(started.c_str()));
    const std::string destination = "C:\\Apps\\" + last_name();
    const char* name = after_last_separator(destination.c_str());
    EXPECT_EQ(double_byte() ? last_name() : std::string(""), name);
    if (GetParam() == kTraditionalChinese) {
        // Byte by byte, 許功 would split after its first character.
        EXPECT_EQ(kXuGong, std::string(after_last_separator("\xB3\x5C\xA5\x5C")));
    }
}

TEST_P(CodePageTest, CaseFoldingLeavesSecondBytesAlone) {
    // ア is 0x83 0x41 and ヂ 0x83 0x61 in 932: "A" and "a" as bytes.
    EXPECT_EQ(double_byte() ? 0 : 1, equals_ignore_case_n("\x83\x41", "\x83\x61", kWholeText));
    EXPECT_EQ(1, equals_ignore_case_n("C:\\APPS\\\x83\x41", "c:\\apps\\\x83\x41", kWholeText));
    EXPECT_EQ(0, equals_ignore_case_n("\x95\x5C", "\x95", kWholeText));
}

TEST_P(CodePageTest, CutsKeepWholeCharacters) {
    char block[6];
    // "ab" + 表 + 表 + terminator is 7 bytes: the second 表 does not fit
    // whole and is left out, not halved.
    char* end = join_texts_cut(block, block + sizeof block, "ab", kHyou, kHyou);
    if (double_byte()) {
        EXPECT_EQ(std::string("ab") + kHyou, block);
        EXPECT_EQ(block + 4, end);
    } else {
        EXPECT_EQ(std::string("ab") + kHyou + "\x95", block);
    }
    char blanks[16];
    std::strcpy(blanks, "\x83\x41  ");
    trim_trailing_blanks(blanks);
    EXPECT_STREQ("\x83\x41", blanks);
}

TEST_P(CodePageTest, CompositionsJoinAtWholeSeparators) {
    const std::string destination = "C:\\Apps\\" + last_name();
    char buffer[kPathBufferSize];
    const char* limit = buffer + sizeof buffer;
    ASSERT_NE(nullptr, compose_in_folder(buffer, limit, destination.c_str(), "Zaphio", ".exe"));
    EXPECT_EQ(destination + (double_byte() ? "\\" : "") + "Zaphio.exe", buffer);
    ASSERT_NE(nullptr, compose_without_trailing_separator(buffer, limit, (destination + "\\").c_str()));
    EXPECT_EQ(destination, buffer);
    ASSERT_NE(nullptr, compose_without_trailing_separator(buffer, limit, destination.c_str()));
    EXPECT_EQ(double_byte() ? destination : destination.substr(0, destination.size() - 1), buffer);

    char line[kPathBufferSize];
    compose_command_line(line, destination.c_str(), "Zaphio.exe", "");
    EXPECT_EQ("\"" + destination + (double_byte() ? "\\" : "") + "Zaphio.exe\"", line);
    compose_working_directory(line, (destination + "\\").c_str());
    EXPECT_EQ(destination, line);
    compose_working_directory(line, destination.c_str());
    EXPECT_EQ(double_byte() ? destination : destination.substr(0, destination.size() - 1), line);

    // An argument is copied character by character.
    const std::string command = "\"" + destination + "\\Deinstall.exe\" /remove";
    char argument[64];
    const char* rest = next_argument(command.c_str(), argument, argument + sizeof argument);
    ASSERT_NE(nullptr, rest);
    EXPECT_EQ(destination + "\\Deinstall.exe", argument);
    EXPECT_STREQ(" /remove", rest);
}

TEST_P(CodePageTest, EntryNamesSplitWhereWindowsSplits) {
    // 表 followed by ".." is one component "表..", not a step up.
    const std::string name = std::string(kHyou) + "..\\x.txt";
    EXPECT_EQ(double_byte() ? kNameSafe : kNameBadComponent,
              check_entry_name(name.c_str(), static_cast<unsigned>(name.size()), false));
    const std::string up = std::string(kHyou) + "\\..\\x.txt";
    EXPECT_EQ(kNameBadComponent, check_entry_name(up.c_str(), static_cast<unsigned>(up.size()), false));
}

std::string code_page_name(const ::testing::TestParamInfo<CodePage>& info) {
    static const char* const kNames[] = {"SingleByte", "Japanese932", "TraditionalChinese950"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(CodePages, CodePageTest,
                         ::testing::Values(kSingleByte, kJapanese, kTraditionalChinese),
                         code_page_name);

}  // namespace
