// The installer copy against real files, version resources and processes in
// the Wine prefix. The running program here is win_tests.exe, which carries
// the setup program's own resources, version resource included.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/globals.h"
#include "common/memory.h"
#include "common/text.h"
#include "install/installer_copy.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

std::string fixture(const char* name) {
    return windows_path(TONVARO_INSTALLER_COPY_FIXTURES) + "\\" + name + ".exe";
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_read_only(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}


std::string running_program() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string file_name_of(const std::string& path) {
    return path.substr(path.find_last_of("\\/") + 1);
}

class InstallerCopy : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        dest_ = make_scratch_directory("installer-copy");
        ASSERT_FALSE(dest_.empty());
        installer_ = dest_ + "\\Installer";
        for (char** buffer : {&g_setup.ScratchPath, &g_setup.DestinationDir,
                              &g_setup.InstallerCopyPath}) {
            *buffer = static_cast<char*>(alloc_or_report(kPathBufferSize));
            ASSERT_NE(nullptr, *buffer);
            (*buffer)[0] = 0;
        }
        copy_text(g_setup.DestinationDir, (dest_ + "\\").c_str());
        SetCurrentDirectoryA(dest_.c_str());
    }

    void TearDown() override {
        SetCurrentDirectoryA(dest_.c_str());
        release_block(g_setup.ScratchPath);
        release_block(g_setup.DestinationDir);
        release_block(g_setup.InstallerCopyPath);
    }

    void place(const char* fixture_name, const std::string& as_name) {
        CreateDirectoryA(installer_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(fixture(fixture_name).c_str(), (installer_ + "\\" + as_name).c_str(),
                              FALSE))
            << fixture_name;
    }

    std::string dest_;
    std::string installer_;
};

}  // namespace

TEST_F(InstallerCopy, ProductNameDecidesInEveryTranslation) {
    struct Case {
        const char* fixture;
        int expected;
    } const cases[] = {
        {"installer", 1},
        {"other_case", 1},
        {"second_translation", 1},
        {"longer", 1},
        {"shorter", 0},
        {"other_product", 0},
        {"no_string_for_translation", 0},
        {"no_version", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, is_installer_file(fixture(c.fixture).c_str())) << c.fixture;
    }
    EXPECT_EQ(1, is_installer_file(running_program().c_str()));
    EXPECT_EQ(0, is_installer_file((dest_ + "\\missing.exe").c_str()));
    ASSERT_TRUE(write_file(dest_ + "\\text.exe", "not a program"));
    EXPECT_EQ(0, is_installer_file("text.exe"));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(InstallerCopy, StaleCopiesGoAndEverythingElseStays) {
    place("installer", "setup.exe");
    place("installer", "old-readonly.exe");
    ASSERT_TRUE(SetFileAttributesA((installer_ + "\\old-readonly.exe").c_str(),
                                   FILE_ATTRIBUTE_READONLY));
    place("other_case", "tonvaro-1.80.exe");
    place("second_translation", "tonvaro-de.exe");
    place("longer", "tonvaro-1.84.exe");
    place("shorter", "shorter.exe");
    place("other_product", "zaphio-setup.exe");
    place("no_version", "plain.exe");
    place("installer", "setup.bak");  // not "*.exe": not looked at
    ASSERT_TRUE(CreateDirectoryA((installer_ + "\\folder.exe").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((installer_ + "\\folder.exe\\inner").c_str(), nullptr));

    remove_stale_installer_copies();

    for (const char* gone : {"setup.exe", "old-readonly.exe", "tonvaro-1.80.exe",
                             "tonvaro-de.exe", "tonvaro-1.84.exe"}) {
        EXPECT_FALSE(exists(installer_ + "\\" + gone)) << gone;
    }
    for (const char* kept : {"shorter.exe", "zaphio-setup.exe", "plain.exe", "setup.bak",
                             "folder.exe\\inner"}) {
        EXPECT_TRUE(exists(installer_ + "\\" + kept)) << kept;
    }
    EXPECT_EQ(0, lstrcmpiA(installer_.c_str(), current_directory().c_str()));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(InstallerCopy, NothingToRemoveWithoutTheDirectory) {
    remove_stale_installer_copies();
    EXPECT_FALSE(exists(installer_));
    EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str()));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(InstallerCopy, FirstInstallationCreatesTheDirectoryAndTheCopy) {
    const std::string name = file_name_of(running_program());
    SetCurrentDirectoryA(windows_path("/").c_str());  // copy_installer enters DestinationDir

    EXPECT_EQ(1, copy_installer());

    const std::string copy = installer_ + "\\" + name;
    EXPECT_EQ(dest_ + "\\Installer\\" + name, g_setup.InstallerCopyPath);
    ASSERT_TRUE(exists(copy));
    EXPECT_TRUE(read_file(copy) == read_file(running_program()));
    EXPECT_EQ(1, is_installer_file(copy.c_str()));
    EXPECT_FALSE(is_read_only(copy));
    EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str()));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(InstallerCopy, AnEarlierCopyIsOverwritten) {
    const std::string copy = installer_ + "\\" + file_name_of(running_program());
    ASSERT_TRUE(CreateDirectoryA(installer_.c_str(), nullptr));
    ASSERT_TRUE(write_file(copy, "left behind"));

    EXPECT_EQ(1, copy_installer());

    EXPECT_TRUE(read_file(copy) == read_file(running_program()));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(InstallerCopy, AReadOnlyTargetIsMadeWritableFirst) {
    if (!read_only_binds(dest_)) {
        GTEST_SKIP() << "this prefix lets the user overwrite read-only files (Wine keeps the "
                        "attribute in the Unix mode, which does not bind root)";
    }
    const std::string copy = installer_ + "\\" + file_name_of(running_program());
    ASSERT_TRUE(CreateDirectoryA(installer_.c_str(), nullptr));
    ASSERT_TRUE(write_file(copy, "left behind"));
    ASSERT_TRUE(SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(1, copy_installer());

    EXPECT_TRUE(read_file(copy) == read_file(running_program()));
    EXPECT_FALSE(is_read_only(copy));
}

TEST_F(InstallerCopy, AFileInTheWayOfTheDirectoryFailsWithItsMessage) {
    ASSERT_TRUE(write_file(installer_, "a file, not a directory"));
    EXPECT_EQ(0, copy_installer());
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create directory 'Installer'", recorded_messages()[0].text);
    EXPECT_EQ("Error", recorded_messages()[0].caption);
    EXPECT_EQ(16u, recorded_messages()[0].flags);
}

TEST_F(InstallerCopy, EnsureDirectoryCreatesOrFindsAndStaysInTheParent) {
    EXPECT_EQ(1, ensure_directory("Plugins"));
    EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str()));
    EXPECT_EQ(1, ensure_directory("Plugins"));
    EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str()));
    EXPECT_TRUE(exists(dest_ + "\\Plugins"));
    EXPECT_TRUE(recorded_messages().empty());

    EXPECT_EQ(0, ensure_directory("Missing\\Skins"));
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create directory 'Missing\\Skins'", recorded_messages()[0].text);
    EXPECT_EQ(0, lstrcmpiA(dest_.c_str(), current_directory().c_str()));
}

TEST_F(InstallerCopy, ACopyPathThatWouldNotFitFailsTheStep) {
    // The composition must stop at the PathBuffer's end: watch the bytes after it.
    std::vector<char> guarded(kPathBufferSize + 64, '#');
    char* const own = g_setup.InstallerCopyPath;
    g_setup.InstallerCopyPath = guarded.data();

    // DestinationDir + "Installer\" fits, the program's file name does not.
    std::string long_dest = dest_ + "\\";
    long_dest.append(kPathCapacity - long_dest.size() - 12, 'd');
    long_dest += "\\";
    copy_text(g_setup.DestinationDir, long_dest.c_str());

    const int result = copy_installer();
    g_setup.InstallerCopyPath = own;

    EXPECT_EQ(0, result);
    EXPECT_EQ('\0', guarded[0]);  // no half path for the registration to record
    for (std::size_t i = kPathBufferSize; i < guarded.size(); ++i) {
        ASSERT_EQ('#', guarded[i]) << "byte " << i << " written past the PathBuffer";
    }
}

namespace {

// Starts the copy runner from `program` for `destination` and waits;
// answers its exit code and what it set as InstallerCopyPath.
long run_copy_steps(const std::string& program, const std::string& destination,
                    const std::string& report, std::string* copy_path) {
    // A backslash before the closing quote would escape it: double it.
    std::string argument = destination;
    if (!argument.empty() && argument.back() == '\\') argument += '\\';
    const long code =
        run_and_wait("\"" + program + "\" \"" + argument + "\" \"" + report + "\"");
    *copy_path = read_file(report);
    return code;
}

}  // namespace

TEST_F(InstallerCopy, TheRunningCopyIsNeitherDeletedNorCopiedOntoItself) {
    // A reinstallation started from the copy that the last one left.
    ASSERT_TRUE(CreateDirectoryA(installer_.c_str(), nullptr));
    const std::string runner = installer_ + "\\setup.exe";
    ASSERT_TRUE(CopyFileA(fixture("copy_runner").c_str(), runner.c_str(), FALSE));
    place("installer", "older-build.exe");
    const std::string original = read_file(runner);
    // Its attributes show whether it was touched at all, even where the
    // platform refuses to delete or overwrite a running program.
    ASSERT_TRUE(SetFileAttributesA(runner.c_str(), FILE_ATTRIBUTE_READONLY));

    // The same directory spelled with forward slashes and other letter case:
    // only the file's identity can tell that it is the running program.
    std::string destination = dest_ + "/";
    for (char& c : destination) {
        if (c == '\\') c = '/';
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    std::string copy_path;
    EXPECT_EQ(1, run_copy_steps(runner, destination, dest_ + "\\report.txt", &copy_path));

    EXPECT_TRUE(exists(runner));
    EXPECT_TRUE(read_file(runner) == original);
    EXPECT_TRUE(is_read_only(runner));
    EXPECT_FALSE(exists(installer_ + "\\older-build.exe"));
    EXPECT_EQ(destination + "Installer\\setup.exe", copy_path);
}

TEST_F(InstallerCopy, ACopyOfAReadOnlyProgramIsWritable) {
    const std::string source_dir = dest_ + "\\download";
    ASSERT_TRUE(CreateDirectoryA(source_dir.c_str(), nullptr));
    const std::string program = source_dir + "\\tonvaro-setup.exe";
    ASSERT_TRUE(CopyFileA(fixture("copy_runner").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesA(program.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string destination = dest_ + "\\product\\";
    ASSERT_TRUE(CreateDirectoryA(destination.c_str(), nullptr));

    std::string copy_path;
    EXPECT_EQ(1, run_copy_steps(program, destination, dest_ + "\\report.txt", &copy_path));

    const std::string copy = destination + "Installer\\tonvaro-setup.exe";
    EXPECT_EQ(copy, copy_path);
    ASSERT_TRUE(exists(copy));
    EXPECT_FALSE(is_read_only(copy));
    EXPECT_TRUE(read_file(copy) == read_file(program));
    SetFileAttributesA(program.c_str(), FILE_ATTRIBUTE_NORMAL);
}
