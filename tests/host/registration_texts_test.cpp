// The texts registration composes into PathBuffers. Every buffer here is a
// heap block of exactly the size under test, so the sanitizer catches a
// byte written or read past it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/text.h"
#include "registration/compositions.h"

namespace {

struct Block {
    explicit Block(std::size_t n) : bytes(new char[n]), size(n) { std::memset(bytes.get(), 'x', n); }
    char* begin() { return bytes.get(); }
    char* limit() { return bytes.get() + size; }
    std::string text() const { return bytes.get(); }
    std::unique_ptr<char[]> bytes;
    std::size_t size;
};

std::string repeated(char c, std::size_t n) { return std::string(n, c); }

}  // namespace

TEST(PlayerCommand, QuotesThePlayerPathAndLeavesRoomForArguments) {
    Block b(kPathBufferSize);
    char* arguments = compose_player_command_start(b.begin(), b.limit(), "C:\\Apps\\QT\\");
    ASSERT_NE(nullptr, arguments);
    ASSERT_NE(nullptr, copy_text_within(arguments, b.limit(), "-l \"%1\""));
    EXPECT_EQ("\"C:\\Apps\\QT\\Zaphio.exe\" -l \"%1\"", b.text());
    // The next verb's arguments replace the previous ones.
    ASSERT_NE(nullptr, copy_text_within(arguments, b.limit(), "-a \"%1\""));
    EXPECT_EQ("\"C:\\Apps\\QT\\Zaphio.exe\" -a \"%1\"", b.text());
}

TEST(PlayerCommand, AddsAMissingSeparatorAndKeepsBlanks) {
    Block b(kPathBufferSize);
    ASSERT_NE(nullptr, compose_player_command_start(b.begin(), b.limit(), "C:\\Program Files\\Q T"));
    EXPECT_EQ("\"C:\\Program Files\\Q T\\Zaphio.exe\" ", b.text());
    ASSERT_NE(nullptr, compose_player_command_start(b.begin(), b.limit(), "D:/apps/"));
    EXPECT_EQ("\"D:/apps/Zaphio.exe\" ", b.text());
}

TEST(PlayerCommand, FailsWhenTheTextWouldNotFit) {
    const std::string expected = "\"C:\\a\\Zaphio.exe\" ";
    Block exact(expected.size() + 1);
    ASSERT_NE(nullptr, compose_player_command_start(exact.begin(), exact.limit(), "C:\\a"));
    EXPECT_EQ(expected, exact.text());
    for (std::size_t n = 0; n <= expected.size(); ++n) {
        Block short_block(n == 0 ? 1 : n);
        EXPECT_EQ(nullptr, compose_player_command_start(short_block.begin(),
                                                        short_block.begin() + n, "C:\\a"))
            << n;
    }
    // A destination filling a PathBuffer leaves no room for the player.
    Block b(kPathBufferSize);
    const std::string long_dir = "C:\\" + repeated('d', 1990) + "\\";
    EXPECT_EQ(nullptr, compose_player_command_start(b.begin(), b.limit(), long_dir.c_str()));
}

TEST(IconLocation, IndexInPlainDecimalAfterAComma) {
    Block b(kPathBufferSize);
    ASSERT_NE(nullptr, compose_icon_location(b.begin(), b.limit(), "C:\\Apps\\QT\\", 5));
    EXPECT_EQ("C:\\Apps\\QT\\Zaphio.exe,5", b.text());
    ASSERT_NE(nullptr, compose_icon_location(b.begin(), b.limit(), "C:\\Apps\\QT", 0));
    EXPECT_EQ("C:\\Apps\\QT\\Zaphio.exe,0", b.text());
    ASSERT_NE(nullptr, compose_icon_location(b.begin(), b.limit(), "C:\\", 106));
    EXPECT_EQ("C:\\Zaphio.exe,106", b.text());

    const std::string expected = "C:\\Zaphio.exe,6";
    Block exact(expected.size() + 1);
    ASSERT_NE(nullptr, compose_icon_location(exact.begin(), exact.limit(), "C:\\", 6));
    EXPECT_EQ(expected, exact.text());
    Block one_short(expected.size());
    EXPECT_EQ(nullptr, compose_icon_location(one_short.begin(), one_short.limit(), "C:\\", 6));
}

TEST(InFolder, OneSeparatorBetweenFolderAndName) {
    Block b(kPathBufferSize);
    char* end = compose_in_folder(b.begin(), b.limit(), "C:\\Menu\\Group\\",
                                  "Visit Quenvale Tonvaro Website", ".url");
    ASSERT_NE(nullptr, end);
    EXPECT_EQ("C:\\Menu\\Group\\Visit Quenvale Tonvaro Website.url", b.text());
    EXPECT_EQ(0, *end);
    ASSERT_NE(nullptr, compose_in_folder(b.begin(), b.limit(), "C:\\Desktop", "Q.lnk", ""));
    EXPECT_EQ("C:\\Desktop\\Q.lnk", b.text());
    ASSERT_NE(nullptr, compose_in_folder(b.begin(), b.limit(), "C:\\D\\", "Deinstall.exe", ""));
    EXPECT_EQ("C:\\D\\Deinstall.exe", b.text());
}

TEST(InFolder, ExactFitAndOneByteShort) {
    const std::string expected = "C:\\f\\name.url";
    Block exact(expected.size() + 1);
    ASSERT_NE(nullptr, compose_in_folder(exact.begin(), exact.limit(), "C:\\f", "name", ".url"));
    EXPECT_EQ(expected, exact.text());
    // Short by one at each piece: the folder, the separator, the name and
    // the extension.
    for (std::size_t n = 1; n <= expected.size(); ++n) {
        Block b(n);
        EXPECT_EQ(nullptr, compose_in_folder(b.begin(), b.limit(), "C:\\f", "name", ".url")) << n;
    }
}

TEST(WithoutTrailingSeparator, DropsOnlyTheLastSeparator) {
    Block b(kPathBufferSize);
    ASSERT_NE(nullptr, compose_without_trailing_separator(b.begin(), b.limit(), "D:\\"));
    EXPECT_EQ("D:", b.text());
    ASSERT_NE(nullptr, compose_without_trailing_separator(b.begin(), b.limit(),
                                                          "D:\\Apps\\Quenvale Tonvaro\\"));
    EXPECT_EQ("D:\\Apps\\Quenvale Tonvaro", b.text());
    ASSERT_NE(nullptr, compose_without_trailing_separator(b.begin(), b.limit(), "D:\\Apps/"));
    EXPECT_EQ("D:\\Apps", b.text());
    char* end = compose_without_trailing_separator(b.begin(), b.limit(), "");
    EXPECT_EQ(b.begin(), end);
    EXPECT_EQ("", b.text());
    const std::string full = repeated('p', 2000);
    EXPECT_NE(nullptr, compose_without_trailing_separator(b.begin(), b.limit(), full.c_str()));
    EXPECT_EQ(full, b.text());
}

TEST(ProductFolder, ExactlyOneSeparatorBeforeIt) {
    Block b(kPathBufferSize);
    std::strcpy(b.begin(), "C:\\Program Files");
    ASSERT_NE(nullptr, append_product_folder(b.begin(), b.limit()));
    EXPECT_EQ("C:\\Program Files\\Quenvale\\Quenvale Tonvaro", b.text());
    std::strcpy(b.begin(), "D:\\Apps\\");
    ASSERT_NE(nullptr, append_product_folder(b.begin(), b.limit()));
    EXPECT_EQ("D:\\Apps\\Quenvale\\Quenvale Tonvaro", b.text());
}

TEST(ProductFolder, TheLongestTextThatStillTakesIt) {
    const std::size_t folder = std::strlen("\\Quenvale\\Quenvale Tonvaro");
    Block b(kPathBufferSize);
    const std::string fits = repeated('a', 2000 - folder);
    std::strcpy(b.begin(), fits.c_str());
    char* end = append_product_folder(b.begin(), b.limit());
    ASSERT_NE(nullptr, end);
    EXPECT_EQ(b.begin() + 2000, end);
    EXPECT_EQ(fits + "\\Quenvale\\Quenvale Tonvaro", b.text());

    const std::string too_long = repeated('a', 2001 - folder);
    std::strcpy(b.begin(), too_long.c_str());
    EXPECT_EQ(nullptr, append_product_folder(b.begin(), b.limit()));
}

TEST(ProbeName, FourDigitPositionsAfterZph) {
    Block b(kPathBufferSize);
    char* digits = compose_probe_name(b.begin(), b.limit(), "C:\\Program Files");
    ASSERT_NE(nullptr, digits);
    EXPECT_EQ("C:\\Program Files\\ZPH0000", b.text());
    write_decimal_fixed(digits, 42, 4);
    EXPECT_EQ("C:\\Program Files\\ZPH0042", b.text());
    write_decimal_fixed(digits, 9999, 4);
    EXPECT_EQ("C:\\Program Files\\ZPH9999", b.text());

    ASSERT_NE(nullptr, compose_probe_name(b.begin(), b.limit(), "C:\\Apps\\"));
    EXPECT_EQ("C:\\Apps\\ZPH0000", b.text());
}

TEST(ProbeName, ADirectoryTooLongForTheNameFails) {
    Block b(kPathBufferSize);
    // A separator and seven characters must fit in the 2000.
    const std::string fits = repeated('d', 1992);
    ASSERT_NE(nullptr, compose_probe_name(b.begin(), b.limit(), fits.c_str()));
    EXPECT_EQ(2000u, std::strlen(b.begin()));
    const std::string too_long = repeated('d', 1993);
    EXPECT_EQ(nullptr, compose_probe_name(b.begin(), b.limit(), too_long.c_str()));
    const std::string largest = repeated('d', 2000);
    EXPECT_EQ(nullptr, compose_probe_name(b.begin(), b.limit(), largest.c_str()));
}

// Each case: the bytes a read returned, in a block with exactly the one
// spare byte for the terminator.
TEST(PreviousAssociation, OnlyTheMakerWordCountsAsOwn) {
    struct Case {
        const char* bytes;
        unsigned length;
        int foreign;
    };
    const Case cases[] = {
        {"Winamp.PlayList", 16, 1},
        {"QuenvaleTonvaro.PlayList", 25, 0},
        {"QUENVALETONVARO.SKIN", 21, 0},
        {"quenvale.Other", 15, 0},
        {"QuenvaleX", 10, 0},
        {"Quenval", 8, 1},     // one letter short of the maker word
        {"Quenvalf.x", 11, 1},
        {"", 1, 1},            // a lone terminator
        {"", 0, 1},            // length 0
    };
    for (const Case& c : cases) {
        Block b(c.length + 1);
        std::memcpy(b.begin(), c.bytes, c.length);
        EXPECT_EQ(c.foreign, is_foreign_association(b.begin(), c.length)) << c.bytes;
    }
}

TEST(PreviousAssociation, ATextWithoutTerminatorEndsAfterTheReturnedBytes) {
    // "Quenvale" in exactly eight bytes with nothing after them: the
    // comparison needs all eight and must not look at a ninth.
    Block own(9);
    std::memcpy(own.begin(), "Quenvale", 8);
    EXPECT_EQ(0, is_foreign_association(own.begin(), 8));
    EXPECT_EQ('\0', own.begin()[8]);

    Block short_text(5);
    std::memcpy(short_text.begin(), "Quen", 4);
    EXPECT_EQ(1, is_foreign_association(short_text.begin(), 4));
    EXPECT_EQ("Quen", short_text.text());

    // Bytes after the returned length are not part of the text.
    Block stale(12);
    std::memcpy(stale.begin(), "Quenvale1234", 12);
    EXPECT_EQ(1, is_foreign_association(stale.begin(), 3));
    EXPECT_EQ("Que", stale.text());
}
