// Every text the setup composes, fed the longest inputs it can meet: a
// destination of 2000 characters and more, AppDir and ProgramFilesDir as
// long as the PathBuffer read takes them, a previous association as large
// as a registry value gets, add-on texts of any length. Each destination is
// a heap block of exactly the size the setup gives it, so the sanitizer
// sees any byte touched outside it; each result must be the whole text or a
// refusal, never a cut one.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/text.h"
#include "extensions/item_text.h"
#include "install/installer_product.h"
#include "payload/entry_name.h"
#include "registration/compositions.h"
#include "registration/keys.h"

namespace {

struct Block {
    explicit Block(std::size_t n) : bytes(new char[n]), size(n) {
        std::memset(bytes.get(), 'x', n);
    }
    char* begin() { return bytes.get(); }
    char* limit() { return bytes.get() + size; }
    std::unique_ptr<char[]> bytes;
    std::size_t size;
};

bool ends_in_separator(const std::string& s) {
    return !s.empty() && (s.back() == '\\' || s.back() == '/');
}
std::string with_separator(const std::string& s) {
    return s.empty() || ends_in_separator(s) ? s : s + "\\";
}

// Around the PathBuffer's 2000 characters one by one, then far past them.
std::vector<std::string> directories() {
    std::vector<std::size_t> lengths = {3, 4, 40, 4096, 32767, 65536};
    for (std::size_t n = 1960; n <= 2010; ++n) lengths.push_back(n);
    std::vector<std::string> out = {"", "C:\\", "D:/"};
    for (std::size_t n : lengths) {
        const std::string plain = "C:\\" + std::string(n - 3, 'd');
        out.push_back(plain);
        out.push_back(plain.substr(0, n - 1) + "\\");
        out.push_back(plain.substr(0, n - 1) + "/");
    }
    return out;
}

// A composition into a PathBuffer either wrote `expected` whole and answered
// its terminator, or refused because the input or the result would not fit.
void expect_whole_or_refused(const std::string& expected, Block& b, const char* end,
                             const char* what, std::size_t input) {
    if (expected.size() < b.size && input < b.size) {
        ASSERT_EQ(b.begin() + expected.size(), end) << what << " of " << input;
        ASSERT_EQ(expected, std::string(b.begin())) << what << " of " << input;
    } else {
        ASSERT_EQ(nullptr, end) << what << " of " << input;
    }
}

}  // namespace

TEST(LongInputs, PathBufferCompositionsFitWhollyOrRefuse) {
    for (const std::string& dir : directories()) {
        const std::size_t n = dir.size();
        const char* d = dir.c_str();
        const std::string folder = with_separator(dir);
        Block b(kPathBufferSize);
        const auto check = [&](const std::string& expected, const char* end, const char* what) {
            expect_whole_or_refused(expected, b, end, what, n);
        };
        check("\"" + folder + kPlayerFile + "\" ",
              compose_player_command_start(b.begin(), b.limit(), d), "command");
        check(folder + kPlayerFile + ",4294967295",
              compose_icon_location(b.begin(), b.limit(), d, UINT_MAX), "icon");
        check(folder + "Visit Quenvale Tonvaro Website.url",
              compose_in_folder(b.begin(), b.limit(), d, "Visit Quenvale Tonvaro Website", ".url"),
              "link");
        check(ends_in_separator(dir) ? dir.substr(0, n - 1) : dir,
              compose_without_trailing_separator(b.begin(), b.limit(), d), "AppDir");
        char* digits = compose_probe_name(b.begin(), b.limit(), d);
        check(folder + "ZPH0000", digits == nullptr ? nullptr : digits + 4, "probe");
        // ProgramFilesDir as read: only a text that fits the PathBuffer is there.
        if (n < kPathBufferSize) {
            std::strcpy(b.begin(), d);
            check(folder + kProductFolder, append_product_folder(b.begin(), b.limit()), "product");
        }
        // Messages cut the file name rather than refuse.
        const char* first = "Error creating file '";
        const char* third = "'\nPlease verify";
        char* end = join_texts_cut(b.begin(), b.limit(), first, d, third);
        const std::string whole = first + dir + third;
        ASSERT_EQ(whole.substr(0, kPathCapacity), std::string(b.begin())) << n;
        ASSERT_EQ(b.begin() + std::min<std::size_t>(whole.size(), kPathCapacity), end) << n;
    }
}

TEST(LongInputs, BlocksSizedByTheirTextsHoldThem) {
    for (const std::string& dir : directories()) {
        const std::string file = std::string(dir.size() / 2, 'f') + ".exe";
        const std::string arguments = "-ZaphioSetup " + std::string(dir.size(), 'a');
        Block line(command_line_size(dir.c_str(), file.c_str(), arguments.c_str()));
        compose_command_line(line.begin(), dir.c_str(), file.c_str(), arguments.c_str());
        ASSERT_EQ("\"" + with_separator(dir) + file + "\" " + arguments, std::string(line.begin()))
            << dir.size();

        if (!dir.empty()) {
            Block working(dir.size() + 2);
            compose_working_directory(working.begin(), dir.c_str());
            const bool root = dir.size() == 3 && dir[1] == ':';
            ASSERT_EQ(ends_in_separator(dir) && !root ? dir.substr(0, dir.size() - 1) : dir,
                      std::string(working.begin()))
                << dir.size();
        }

        // An add-on's path and a Comments text of any length.
        const std::string description(dir.size() * 2, 'c');
        Block item(item_text_size(dir.c_str(), description.c_str()));
        compose_item_text(item.begin(), dir.c_str(), description.c_str());
        ASSERT_EQ(dir, std::string(item.begin()));
        ASSERT_EQ(description, std::string(item_description(item.begin())));
        ASSERT_EQ(0, item.begin()[item.size - 1]);

        // A title of blanks only.
        Block title(dir.size() + 1);
        std::memset(title.begin(), ' ', dir.size());
        title.begin()[dir.size()] = 0;
        trim_trailing_blanks(title.begin());
        ASSERT_EQ(0, title.begin()[0]);
    }
    // Entry names are counted, not terminated: nothing after them is read.
    for (const std::size_t n : {259ul, 260ul, 2000ul, 2001ul, 65536ul}) {
        std::string text;
        while (text.size() < n) text += "Skins\\a\\";
        text.resize(n);
        text.back() = 'z';
        Block name(n);
        std::memcpy(name.begin(), text.data(), n);
        EXPECT_EQ(kNameSafe, check_entry_name(name.begin(), static_cast<unsigned>(n), false)) << n;
        EXPECT_EQ(n >= 260 ? kNameTooLong : kNameSafe,
                  check_entry_name(name.begin(), static_cast<unsigned>(n), true)) << n;
    }
    Block query(kProductNameQuerySize);
    compose_product_name_query(query.begin(), 0xFFFFFFFFu);
    EXPECT_EQ("\\StringFileInfo\\ffffffff\\ProductName", std::string(query.begin()));
}

// The association is read into a block of its size and two bytes; the
// answered length may be the size plus one.
TEST(LongInputs, APreviousAssociationOfAnySizeIsReadWithinItsBlock) {
    for (const std::size_t size : {16383ul, 16384ul, 65535ul, 65536ul, 1048575ul, 1048576ul}) {
        for (const bool own : {false, true}) {
            std::string value = own ? "QuenvaleTonvaro." : "Winamp.PlayList.";
            value.resize(size, 'v');
            for (const std::size_t returned : {size - 1, size, size + 1}) {
                Block block(returned + 1);
                std::memcpy(block.begin(), value.data(), std::min(size, returned));
                if (returned > size) block.begin()[size] = 0;
                const unsigned length = static_cast<unsigned>(returned);
                ASSERT_EQ(own ? 0 : 1, is_foreign_association(block.begin(), length))
                    << size << " " << returned;
                ASSERT_EQ(0, block.begin()[returned]);
            }
        }
    }
}
