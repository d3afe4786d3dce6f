// Spelling a path that the system holds in Unicode in an ANSI code page:
// the components it spells stay byte for byte, the others take their short
// names, and nothing lossy or cut ever reaches the caller.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/path_spelling.h"

namespace {

// A small code page: ASCII, "ü" as 0xFC, "表" as 95 5C (a second byte that
// looks like "\"). Cyrillic has no spelling ("?"), and "ł" only a look-alike
// ("l"): both are lossy.
int fake_code_page(const wchar_t* wide, int count, char* out, int capacity) {
    std::string bytes;
    bool exact = true;
    for (int i = 0; i < count; ++i) {
        const wchar_t c = wide[i];
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c == L'ü') {
            bytes += '\xFC';
        } else if (c == L'表') {
            bytes += "\x95\x5C";
        } else {
            bytes += c == L'ł' ? 'l' : '?';
            exact = false;
        }
    }
    if (!exact || static_cast<int>(bytes.size()) > capacity) return -1;
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

// The spelling, or "(none)" after checking that nothing was left behind.
std::string spelled(const wchar_t* long_path, const wchar_t* short_path, size_t room = 64) {
    char buffer[80];
    std::memset(buffer, '#', sizeof buffer);
    const char* end = spell_path(buffer, buffer + room, long_path, short_path, fake_code_page);
    EXPECT_EQ('#', buffer[room]) << "written past the limit";
    if (end == nullptr) {
        EXPECT_EQ(0, buffer[0]) << "a failed spelling leaves an empty text";
        return "(none)";
    }
    EXPECT_EQ(0, *end);
    return std::string(static_cast<const char*>(buffer), end);
}

TEST(PathSpelling, AnExactPathKeepsEveryByteWhateverTheShortNames) {
    EXPECT_EQ("C:\\Apps\\\x95\x5C\\setup.exe", spelled(L"C:\\Apps\\表\\setup.exe", nullptr));
    EXPECT_EQ("C:\\Programme\\M\xFCller\\", spelled(L"C:\\Programme\\Müller\\",
                                                    L"C:\\PROGRA~1\\MLLER~1\\"));
    EXPECT_EQ("\\\\server\\share\\x", spelled(L"\\\\server\\share\\x", nullptr));
}

TEST(PathSpelling, OnlyTheComponentsTheCodePageLosesTakeTheirShortNames) {
    EXPECT_EQ("C:\\____~LN4\\Quenvale Tonvaro\\setup.exe",
              spelled(L"C:\\Загрузки\\Quenvale Tonvaro\\setup.exe",
                      L"C:\\____~LN4\\QUENVA~1\\setup.exe"));
    // A look-alike names another folder: lossy too.
    EXPECT_EQ("C:\\users\\WODEK~1\\Temp\\", spelled(L"C:\\users\\Włodek\\Temp\\",
                                                    L"C:\\users\\WODEK~1\\Temp\\"));
    EXPECT_EQ("\\\\server\\share\\____~1\\", spelled(L"\\\\server\\share\\Пользователь\\",
                                                     L"\\\\server\\share\\____~1\\"));
    // A found name: one component, its short name beside it.
    EXPECT_EQ("PICTAV~1.EXE", spelled(L"Пиктаво.exe", L"PICTAV~1.EXE"));
}

TEST(PathSpelling, WithoutAnExactSpellingNothingIsGiven) {
    EXPECT_EQ("(none)", spelled(L"C:\\Загрузки\\setup.exe", nullptr));
    // No short names on this volume: the short form is the long one.
    EXPECT_EQ("(none)", spelled(L"C:\\Загрузки\\setup.exe", L"C:\\Загрузки\\setup.exe"));
    // A short form of other components does not stand for this path.
    EXPECT_EQ("(none)", spelled(L"C:\\Загрузки\\setup.exe", L"C:\\____~LN4"));
    EXPECT_EQ("(none)", spelled(L"C:\\Загрузки", L"C:\\____~LN4\\setup.exe"));
}

TEST(PathSpelling, TheResultFitsItsSpaceOrIsNotGiven) {
    // "C:\____~LN4\a" is 13 bytes: 14 with the terminator.
    EXPECT_EQ("C:\\____~LN4\\a", spelled(L"C:\\Загрузки\\a", L"C:\\____~LN4\\a", 14));
    EXPECT_EQ("(none)", spelled(L"C:\\Загрузки\\a", L"C:\\____~LN4\\a", 13));
    EXPECT_EQ("C:\\ab", spelled(L"C:\\ab", nullptr, 6));
    EXPECT_EQ("(none)", spelled(L"C:\\ab", nullptr, 5));
    EXPECT_EQ("(none)", spelled(L"C:\\", nullptr, 3));
    // A double-byte character is never cut in two.
    EXPECT_EQ("(none)", spelled(L"C:\\表", nullptr, 5));
}

}  // namespace
