#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win/test_support.h"

namespace {

std::string fixture(const char* name) {
    return windows_path(TONVARO_EXTENSION_FIXTURES) + "\\" + name + ".exe";
}

struct Listing {
    std::string summary;   // count, rows and images
    std::string column;    // column and client widths
    std::string messages;
    std::vector<std::string> rows;  // image|title|path|description, sorted
    std::string released;
};

// Copies the lister into `directory` as the setup program, with the named
// fixtures beside it, runs it there and reads its report.
Listing list_beside_setup(const std::string& directory, const std::vector<const char*>& fixtures) {
    Listing listing;
    const std::string setup = directory + "\\setup.exe";
    if (!CopyFileA(windows_path(TONVARO_EXTENSION_LISTER).c_str(), setup.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the lister";
        return listing;
    }
    for (const char* name : fixtures) {
        const std::string copy = directory + "\\" + name + ".exe";
        if (!CopyFileA(fixture(name).c_str(), copy.c_str(), FALSE)) {
            ADD_FAILURE() << "cannot copy " << name;
        }
    }
    const std::string report = directory + "\\report.txt";
    const long code = run_and_wait("\"" + setup + "\" \"" + report + "\"");
    EXPECT_EQ(0, code);
    std::istringstream lines(read_file(report));
    std::getline(lines, listing.summary);
    std::getline(lines, listing.column);
    std::getline(lines, listing.messages);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("released ", 0) == 0) {
            listing.released = line;
        } else {
            listing.rows.push_back(line);
        }
    }
    std::sort(listing.rows.begin(), listing.rows.end());
    return listing;
}

void expect_full_width_column(const std::string& line) {
    int column = -1;
    long client = -2;
    ASSERT_EQ(2, std::sscanf(line.c_str(), "column %d client %ld", &column, &client)) << line;
    EXPECT_GT(client, 0);
    EXPECT_EQ(client, column);
}

}  // namespace

TEST(ExtensionDiscovery, NothingMarkedBesideTheSetupGivesAnEmptyList) {
    const std::string directory = make_scratch_directory("discovery-none");
    ASSERT_TRUE(CreateDirectoryA((directory + "\\folder.exe").c_str(), nullptr));
    ASSERT_TRUE(write_file(directory + "\\notes.exe", "not a program"));
    const Listing listing = list_beside_setup(
        directory, {"short_marker", "no_marker", "comments_marker", "no_title"});
    EXPECT_EQ("count 0 rows 0 images 2", listing.summary);
    expect_full_width_column(listing.column);
    EXPECT_EQ("messages 0", listing.messages);
    EXPECT_TRUE(listing.rows.empty());
    EXPECT_EQ("released 0", listing.released);
}

TEST(ExtensionDiscovery, MarkedInstallersAreListedOncePerTitleTicked) {
    const std::string directory = make_scratch_directory("discovery-all");
    const Listing listing = list_beside_setup(
        directory, {"pictavo", "pyrolo_1_2", "pyrolo_1_10", "audio_cd", "unversioned",
                    "short_fixed", "short_marker", "no_marker", "comments_marker", "no_title"});
    EXPECT_EQ("count 5 rows 5 images 2", listing.summary);
    expect_full_width_column(listing.column);
    EXPECT_EQ("messages 0", listing.messages);
    // Which duplicate wins here does not depend on the order in which the
    // file system returns them: versions decide.
    const std::vector<std::string> expected = {
        "1|QUENVALE TONVARO PYROLO! ADD-ON|" + directory + "\\pyrolo_1_10.exe|Pyrolo 1.10",
        "1|Quenvale Pyrolo! AudioCD Add-On|" + directory + "\\audio_cd.exe|Brennt Audio-CDs.",
        "1|Quenvale Tonvaro Pictavo Add-On|" + directory +
            "\\pictavo.exe|Enables you to view photos and create slide shows.",
        "1|Short Fixed Record Add-On|" + directory +
            "\\short_fixed.exe|Its fixed version record is 20 bytes long.",
        "1|Unversioned Add-On|" + directory + "\\unversioned.exe|Has no fixed version record.",
    };
    EXPECT_EQ(expected, listing.rows);
    EXPECT_EQ("released 0", listing.released);
}
