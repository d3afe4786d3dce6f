#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/text.h"

TEST(EqualsIgnoreCaseN, WholeTextAndPrefixComparisons) {
    EXPECT_EQ(1, equals_ignore_case_n("Setup.EXE", "setup.exe", kWholeText));
    EXPECT_EQ(0, equals_ignore_case_n("abc", "abcd", kWholeText));
    EXPECT_EQ(0, equals_ignore_case_n("abcd", "abc", kWholeText));
    EXPECT_EQ(1, equals_ignore_case_n("abcd", "abce", 3));
    EXPECT_EQ(1, equals_ignore_case_n("x", "y", 0));
    EXPECT_EQ(1, equals_ignore_case_n("x", "y", -5));
    EXPECT_EQ(1, equals_ignore_case_n("", "", 5));
    EXPECT_EQ(0, equals_ignore_case_n("", "a", 1));
    EXPECT_EQ(1, equals_ignore_case_n("QUENVALEtonvaro.x", "QuenvaleTonvaro.", 8));
    // Only ASCII capitals fold: 0xC4 and 0xE4 stay different letters.
    EXPECT_EQ(0, equals_ignore_case_n("\xC4", "\xE4", kWholeText));
}

TEST(FoldAsciiLower, OnlyTheCapitalsMove) {
    EXPECT_EQ('z', fold_ascii_lower('Z'));
    EXPECT_EQ('a', fold_ascii_lower('A'));
    EXPECT_EQ(0x40, fold_ascii_lower(0x40));
    EXPECT_EQ(0x5B, fold_ascii_lower(0x5B));
    EXPECT_EQ(0xC4, fold_ascii_lower(0xC4));
    for (int b = 0; b < 256; ++b) {
        const unsigned char folded = fold_ascii_lower(static_cast<unsigned char>(b));
        if (b >= 'A' && b <= 'Z') {
            EXPECT_EQ(b + 32, folded);
        } else {
            EXPECT_EQ(b, folded);
        }
    }
}

TEST(EnsureTrailingSeparator, AddsAtMostOne) {
    char text[16];
    std::strcpy(text, "");
    EXPECT_EQ(text, ensure_trailing_separator(text));
    EXPECT_STREQ("", text);
    std::strcpy(text, "C:");
    char* end = ensure_trailing_separator(text);
    EXPECT_STREQ("C:\\", text);
    EXPECT_EQ(0, *end);
    EXPECT_EQ(text + 3, end);
    std::strcpy(text, "D:\\a\\");
    end = ensure_trailing_separator(text);
    EXPECT_STREQ("D:\\a\\", text);
    EXPECT_EQ(text + 5, end);
    std::strcpy(text, "d:/a/");
    EXPECT_STREQ("d:/a/", (ensure_trailing_separator(text), text));
}

TEST(CopyText, ReturnsTheTerminatorAndJoins) {
    char block[32];
    std::memset(block, 'x', sizeof block);
    EXPECT_EQ(block, copy_text(block, ""));
    EXPECT_EQ(0, block[0]);
    copy_text(copy_text(copy_text(block, "ab"), "\\"), "cd");
    EXPECT_STREQ("ab\\cd", block);
    EXPECT_EQ(5u, text_length(block));
}

TEST(BoundedComposition, RefusesWhatDoesNotFitAndLeavesTheTextAlone) {
    char block[8];
    std::strcpy(block, "abc");
    // "abc" + "defg" + terminator is 8 bytes: fits exactly.
    char* end = copy_text_within(block + 3, block + sizeof block, "defg");
    ASSERT_NE(nullptr, end);
    EXPECT_STREQ("abcdefg", block);
    std::strcpy(block, "abc");
    EXPECT_EQ(nullptr, copy_text_within(block + 3, block + sizeof block, "defgh"));
    EXPECT_STREQ("abc", block);
    EXPECT_EQ(nullptr, copy_text_within(block + 8, block + sizeof block, ""));

    std::strcpy(block, "abcdefg");  // full: no room for a separator
    EXPECT_EQ(nullptr, ensure_trailing_separator_within(block, block + sizeof block));
    EXPECT_STREQ("abcdefg", block);
    std::strcpy(block, "abcdef");
    ASSERT_NE(nullptr, ensure_trailing_separator_within(block, block + sizeof block));
    EXPECT_STREQ("abcdef\\", block);
}

TEST(BoundedComposition, PathBufferHoldsExactly2000Characters) {
    std::string longest(1999, 'a');
    char buffer[kPathBufferSize];
    std::strcpy(buffer, longest.c_str());
    char* end = ensure_trailing_separator_within(buffer, buffer + sizeof buffer);
    ASSERT_NE(nullptr, end);
    EXPECT_EQ(2000u, text_length(buffer));
    EXPECT_EQ(nullptr, copy_text_within(end, buffer + sizeof buffer, "x"));
    buffer[1999] = 'b';  // 2000 characters, no separator: one more does not fit
    EXPECT_EQ(nullptr, ensure_trailing_separator_within(buffer, buffer + sizeof buffer));
    EXPECT_EQ(2000u, text_length(buffer));
}

TEST(JoinTextsCut, CutsAtTheLimitAndAlwaysTerminates) {
    char block[kPathBufferSize];
    join_texts_cut(block, block + sizeof block, "Unable to create directory '", "Skins", "'");
    EXPECT_STREQ("Unable to create directory 'Skins'", block);
    std::string huge(5000, 'n');
    char* end = join_texts_cut(block, block + sizeof block, "Error creating file '",
                               huge.c_str(), "'\nPlease verify");
    EXPECT_EQ(2000u, text_length(block));
    EXPECT_EQ(block + 2000, end);
    EXPECT_EQ(0, std::memcmp(block, "Error creating file 'nnn", 24));
}

TEST(JoinTextsWithin, WholeOrNotAtAll) {
    char block[8];
    std::strcpy(block, "keep");
    EXPECT_EQ(nullptr, join_texts_within(block, block + sizeof block, "abc", "\\", "defg"));
    EXPECT_STREQ("keep", block);
    char* end = join_texts_within(block, block + sizeof block, "abc", nullptr, "defg");
    ASSERT_NE(nullptr, end);
    EXPECT_STREQ("abcdefg", block);
    EXPECT_EQ(block + 7, end);
    EXPECT_EQ(nullptr, join_texts_within(block + 8, block + sizeof block, nullptr, nullptr, nullptr));
}

TEST(ReadDecimal, DigitsOnlyAndWithin32Bits) {
    unsigned n = 7;
    EXPECT_EQ(1, read_decimal("0", &n));
    EXPECT_EQ(0u, n);
    EXPECT_EQ(1, read_decimal("4294967295", &n));
    EXPECT_EQ(4294967295u, n);
    for (const char* bad : {"", "4294967296", "99999999999", "12a", "-1", " 1", "1 "}) {
        n = 7;
        EXPECT_EQ(0, read_decimal(bad, &n)) << bad;
        EXPECT_EQ(7u, n) << bad;
    }
}

TEST(DecimalDigits, FixedWidthAndPlain) {
    char digits[8] = {};
    write_decimal_fixed(digits, 42, 4);
    EXPECT_STREQ("0042", digits);
    write_decimal_fixed(digits, 9999, 4);
    EXPECT_STREQ("9999", digits);
    char block[4];
    ASSERT_NE(nullptr, write_decimal_within(block, block + 4, 5));
    EXPECT_STREQ("5", block);
    ASSERT_NE(nullptr, write_decimal_within(block, block + 4, 0));
    EXPECT_STREQ("0", block);
    EXPECT_EQ(nullptr, write_decimal_within(block, block + 4, 1234));
}

TEST(AfterLastSeparator, EitherSeparatorCounts) {
    EXPECT_STREQ("setup.exe", after_last_separator("C:\\dl\\setup.exe"));
    EXPECT_STREQ("setup.exe", after_last_separator("C:\\dl/x/setup.exe"));
    EXPECT_STREQ("setup.exe", after_last_separator("setup.exe"));
    EXPECT_STREQ("", after_last_separator("C:\\dl\\"));
}

namespace {
std::string command_line(const char* directory, const char* file, const char* arguments) {
    std::string block(command_line_size(directory, file, arguments), '\x7f');
    compose_command_line(&block[0], directory, file, arguments);
    const std::size_t n = std::strlen(block.c_str());
    EXPECT_LT(n, block.size());
    return block.substr(0, n);
}
std::string working_directory(const char* directory) {
    std::string block(std::strlen(directory) + 2, '\x7f');
    compose_working_directory(&block[0], directory);
    return block.c_str();
}
}  // namespace

TEST(LaunchCommandLine, QuotesTheProgramAndAddsArgumentsOnlyWhenGiven) {
    EXPECT_EQ("\"C:\\dl\\addon.exe\" -ZaphioSetup",
              command_line(nullptr, "C:\\dl\\addon.exe", "-ZaphioSetup"));
    EXPECT_EQ("\"C:\\Apps\\QT\\Zaphio.exe\"", command_line("C:\\Apps\\QT\\", "Zaphio.exe", ""));
    EXPECT_EQ("\"C:\\Apps\\QT\\Zaphio.exe\"", command_line("C:\\Apps\\QT", "Zaphio.exe", nullptr));
    EXPECT_EQ("\"C:/Apps/Zaphio.exe\"", command_line("C:/Apps/", "Zaphio.exe", ""));
    EXPECT_EQ("-a b", command_line("", "", "-a b"));
    EXPECT_EQ("-a b", command_line(nullptr, nullptr, "-a b"));
    EXPECT_EQ("\"D:\\x\\\" -q", command_line("D:\\x", "", "-q"));
}

TEST(LaunchCommandLine, SizeCoversTheLongestComposition) {
    // Directory without separator, file and arguments: every extra byte used.
    const char* directory = "C:\\a";
    const char* file = "b.exe";
    const char* arguments = "-x";
    EXPECT_EQ(std::strlen("\"C:\\a\\b.exe\" -x") + 1, command_line_size(directory, file, arguments));
    EXPECT_EQ("\"C:\\a\\b.exe\" -x", command_line(directory, file, arguments));
}

TEST(LaunchWorkingDirectory, DropsTheSeparatorButKeepsADriveRoot) {
    EXPECT_EQ("C:\\Apps\\QT", working_directory("C:\\Apps\\QT\\"));
    EXPECT_EQ("C:\\Apps\\QT", working_directory("C:\\Apps\\QT"));
    EXPECT_EQ("C:/Apps", working_directory("C:/Apps/"));
    EXPECT_EQ("D:\\", working_directory("D:\\"));
    EXPECT_EQ("D:/", working_directory("D:/"));
}

TEST(NextArgument, SplitsAtBlanksOutsideQuotesAndDropsTheQuotes) {
    const char* line = "\"C:\\Temp\\QTU1.tmp\\Deinstall.exe\" /remove \t\"C:\\Program Files\\Q\\Deinstall.exe\" 124";
    char argument[64];
    std::vector<std::string> seen;
    while ((line = next_argument(line, argument, argument + sizeof argument)) != nullptr) {
        seen.push_back(argument);
    }
    EXPECT_EQ((std::vector<std::string>{"C:\\Temp\\QTU1.tmp\\Deinstall.exe", "/remove",
                                        "C:\\Program Files\\Q\\Deinstall.exe", "124"}),
              seen);
    EXPECT_EQ(nullptr, next_argument("   ", argument, argument + sizeof argument));
    EXPECT_EQ(nullptr, next_argument("", argument, argument + sizeof argument));
    // An argument that does not fit is refused, not cut.
    char small[4];
    EXPECT_EQ(nullptr, next_argument("abcd", small, small + sizeof small));
    const char* after = next_argument("abc d", small, small + sizeof small);
    ASSERT_NE(nullptr, after);
    EXPECT_STREQ("abc", small);
    EXPECT_STREQ(" d", after);
}
