#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "extensions/add_on_rules.h"
#include "extensions/item_text.h"

namespace {

FileVersionAnswer version(unsigned major, unsigned minor, unsigned build, unsigned revision) {
    return {1, (major << 16) | minor, (build << 16) | revision};
}

const FileVersionAnswer kNoVersion = {0, 0, 0};
const FileVersionAnswer kOutOfMemory = {-1, 0, 0};

}  // namespace

TEST(ExtensionMarker, PrefixInAnyAsciiCase) {
    EXPECT_EQ(1, carries_extension_marker("Quenvale Tonvaro Extension"));
    EXPECT_EQ(1, carries_extension_marker("quenvale tonvaro extension for photos and slide shows"));
    EXPECT_EQ(1, carries_extension_marker("QUENVALE TONVARO EXTENSION2"));
    EXPECT_EQ(0, carries_extension_marker("Quenvale Tonvaro Extensio"));
    EXPECT_EQ(0, carries_extension_marker(""));
    EXPECT_EQ(0, carries_extension_marker(" Quenvale Tonvaro Extension"));
    EXPECT_EQ(0, carries_extension_marker("Quenvale  Tonvaro Extension"));
}

TEST(DuplicateByVersion, MostSignificantWordFirst) {
    // 1.10 against 1.2: minor 10 beats minor 2 although "1.10" < "1.2" as text.
    EXPECT_EQ(kReplaceListed, decide_by_version(version(1, 10, 0, 0), version(1, 2, 0, 0)));
    EXPECT_EQ(kKeepListed, decide_by_version(version(1, 2, 0, 0), version(1, 10, 0, 0)));
    // A larger least significant word does not outweigh a smaller major.
    EXPECT_EQ(kKeepListed, decide_by_version(version(1, 0, 9, 9), version(2, 0, 0, 0)));
    EXPECT_EQ(kReplaceListed, decide_by_version(version(2, 0, 0, 0), version(1, 0, 9, 9)));
}

TEST(DuplicateByVersion, LeastSignificantWordBreaksTies) {
    EXPECT_EQ(kReplaceListed, decide_by_version(version(3, 1, 0, 7), version(3, 1, 0, 6)));
    EXPECT_EQ(kKeepListed, decide_by_version(version(3, 1, 0, 6), version(3, 1, 0, 7)));
    EXPECT_EQ(kReplaceListed, decide_by_version(version(3, 1, 2, 0), version(3, 1, 1, 99)));
    EXPECT_EQ(kCompareCreationTimes, decide_by_version(version(3, 1, 2, 5), version(3, 1, 2, 5)));
}

TEST(DuplicateByVersion, WordsCompareUnsigned) {
    const FileVersionAnswer high = {1, 0x80000000u, 0x80000000u};
    const FileVersionAnswer low = {1, 0x7FFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(kReplaceListed, decide_by_version(high, low));
    EXPECT_EQ(kKeepListed, decide_by_version(low, high));
    const FileVersionAnswer high_ls = {1, 5, 0xFFFFFFFFu};
    const FileVersionAnswer low_ls = {1, 5, 1};
    EXPECT_EQ(kReplaceListed, decide_by_version(high_ls, low_ls));
}

TEST(DuplicateByVersion, AVersionOnOneSideKeepsTheListedFile) {
    EXPECT_EQ(kKeepListed, decide_by_version(version(9, 0, 0, 0), kNoVersion));
    EXPECT_EQ(kKeepListed, decide_by_version(kNoVersion, version(0, 0, 0, 1)));
    // Out of memory counts as no version, not as a version of 0.0.0.0.
    EXPECT_EQ(kKeepListed, decide_by_version(version(9, 0, 0, 0), kOutOfMemory));
    EXPECT_EQ(kKeepListed, decide_by_version(kOutOfMemory, version(9, 0, 0, 0)));
}

TEST(DuplicateByVersion, NoVersionOnEitherSideFallsToCreationTimes) {
    EXPECT_EQ(kCompareCreationTimes, decide_by_version(kNoVersion, kNoVersion));
    EXPECT_EQ(kCompareCreationTimes, decide_by_version(kOutOfMemory, kNoVersion));
    EXPECT_EQ(kCompareCreationTimes, decide_by_version(kNoVersion, kOutOfMemory));
    // Stale words beside a missing version are not looked at.
    const FileVersionAnswer stale = {0, 7, 7};
    EXPECT_EQ(kCompareCreationTimes, decide_by_version(stale, kNoVersion));
}

TEST(DuplicateByCreationTime, OnlyAStrictlyLaterFileReplaces) {
    EXPECT_EQ(kReplaceListed, decide_by_creation_time(1, 1, 1));
    EXPECT_EQ(kKeepListed, decide_by_creation_time(1, 1, 0));
    EXPECT_EQ(kKeepListed, decide_by_creation_time(1, 1, -1));
    EXPECT_EQ(kKeepListed, decide_by_creation_time(0, 1, 1));
    EXPECT_EQ(kKeepListed, decide_by_creation_time(1, 0, 1));
    EXPECT_EQ(kKeepListed, decide_by_creation_time(0, 0, 1));
}

TEST(RebootRequest, HighByte42AndBit16) {
    EXPECT_EQ(1, is_reboot_request(0x42010000u));
    EXPECT_EQ(1, is_reboot_request(0x42FFFFFFu));
    EXPECT_EQ(1, is_reboot_request(0x4201ABCDu));
    EXPECT_EQ(0, is_reboot_request(0x42000000u));
    EXPECT_EQ(0, is_reboot_request(0x42FEFFFFu));
    EXPECT_EQ(0, is_reboot_request(0x43010000u));
    EXPECT_EQ(0, is_reboot_request(0xC2010000u));
    EXPECT_EQ(0, is_reboot_request(0x00010000u));
    EXPECT_EQ(0, is_reboot_request(0u));
    EXPECT_EQ(0, is_reboot_request(0xFFFFFFFFu));
}

TEST(TrimTrailingBlanks, OnlyBlanksAtTheEnd) {
    char title[] = "  Quenvale Tonvaro Pictavo Add-On   ";
    trim_trailing_blanks(title);
    EXPECT_STREQ("  Quenvale Tonvaro Pictavo Add-On", title);
    char tab[] = "Add-On\t ";
    trim_trailing_blanks(tab);
    EXPECT_STREQ("Add-On\t", tab);
    char blanks[] = "    ";
    trim_trailing_blanks(blanks);
    EXPECT_STREQ("", blanks);
    char empty[] = "";
    trim_trailing_blanks(empty);
    EXPECT_STREQ("", empty);
}

TEST(TranslationDigits, LanguageThenCodePageInLowerCaseHex) {
    char name[] = "\\StringFileInfo\\00000000\\ProductName";
    write_translation_digits(name + 16, 0x0409, 1200);
    EXPECT_STREQ("\\StringFileInfo\\040904b0\\ProductName", name);
    write_translation_digits(name + 16, 0xFFFF, 0xABCD);
    EXPECT_STREQ("\\StringFileInfo\\ffffabcd\\ProductName", name);
    write_translation_digits(name + 16, 0, 0);
    EXPECT_STREQ("\\StringFileInfo\\00000000\\ProductName", name);
    // Only the low 16 bits of each word are part of the name.
    write_translation_digits(name + 16, 0x10407, 0x204E4);
    EXPECT_STREQ("\\StringFileInfo\\040704e4\\ProductName", name);
}

TEST(ItemText, PathDescriptionAndTwoTerminators) {
    const char* path = "C:\\Add-Ons\\pictavo.exe";
    const char* description = "Photos and slide shows.";
    const unsigned size = item_text_size(path, description);
    ASSERT_EQ(std::strlen(path) + std::strlen(description) + 3, size);
    // Exactly the computed size, so ASan sees any byte written past it.
    char* block = new char[size];
    compose_item_text(block, path, description);
    EXPECT_STREQ(path, block);
    EXPECT_STREQ(description, item_description(block));
    EXPECT_EQ(0, block[size - 1]);
    EXPECT_EQ(0, block[size - 2]);
    delete[] block;
}

TEST(ItemText, EmptyDescriptionStillEndsInTwoTerminators) {
    const unsigned size = item_text_size("a.exe", "");
    ASSERT_EQ(8u, size);
    char* block = new char[size];
    std::memset(block, 'x', size);
    compose_item_text(block, "a.exe", "");
    EXPECT_EQ(std::string("a.exe\0\0\0", 8), std::string(block, size));
    EXPECT_STREQ("", item_description(block));
    delete[] block;
}
