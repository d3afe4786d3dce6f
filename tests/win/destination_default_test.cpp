// The proposed destination, from the prefix's real registry, file system and
// environment. ProgramFilesDir is the machine's own value: each test that
// changes it puts the original back.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/globals.h"
#include "install/destination_default.h"
#include "registration/registry_roots.h"
#include "tests/win/fixtures/registration/registry_fixture.h"
#include "tests/win/test_support.h"

namespace {

const std::string kAppKey = "SOFTWARE\\Quenvale\\Quenvale Tonvaro";
const std::string kWindowsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";


class DestinationDefault : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        buffers_.make();
        choose_registry_roots();
        delete_tree(HKEY_CURRENT_USER, "SOFTWARE\\Quenvale");
        program_files_ = read_value(HKEY_LOCAL_MACHINE, kWindowsKey, "ProgramFilesDir");
        ASSERT_TRUE(program_files_.present);
        char profile[MAX_PATH] = "";
        profile_defined_ = GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH) != 0;
        profile_ = profile;
    }
    void TearDown() override {
        delete_tree(HKEY_CURRENT_USER, "SOFTWARE\\Quenvale");
        put_value(HKEY_LOCAL_MACHINE, kWindowsKey, "ProgramFilesDir", program_files_.type,
                  program_files_.data);
        SetEnvironmentVariableA("USERPROFILE", profile_defined_ ? profile_.c_str() : nullptr);
    }
    void set_app_dir(DWORD type, const std::string& bytes) {
        ASSERT_TRUE(put_value(HKEY_CURRENT_USER, kAppKey, "AppDir", type, bytes));
    }
    void set_program_files(const std::string& directory) {
        ASSERT_TRUE(put_value(HKEY_LOCAL_MACHINE, kWindowsKey, "ProgramFilesDir", REG_SZ,
                              sz(directory)));
    }
    std::string propose() {
        // At start-up the wizard lends ScratchPath and DestinationDir.
        choose_default_destination(g_setup.ScratchPath, g_setup.DestinationDir);
        EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
        return g_setup.ScratchPath;
    }
    std::string program_files_proposal() const {
        std::string dir = program_files_.data.c_str();
        if (dir.back() != '\\') dir += '\\';
        return dir + "Quenvale\\Quenvale Tonvaro";
    }
    RegistryValue program_files_;
    std::string profile_;
    bool profile_defined_ = false;
    PathBuffers buffers_;
};

}  // namespace

TEST_F(DestinationDefault, AWritableAppDirIsProposedExactlyAsStored) {
    const std::string dir = make_scratch_directory("appdir");
    for (const std::string& stored : {dir, dir + "\\"}) {
        set_app_dir(REG_SZ, sz(stored));
        EXPECT_EQ(stored, propose());
        EXPECT_TRUE(entries_of(dir).empty()) << "a probe file was left";
    }
}

TEST_F(DestinationDefault, AnExpandableOrMissingAppDirFallsToProgramFiles) {
    const std::string dir = make_scratch_directory("appdir");
    set_app_dir(REG_EXPAND_SZ, sz(dir));
    EXPECT_EQ(program_files_proposal(), propose());
    EXPECT_EQ(0, read_app_dir(g_setup.ScratchPath));
    EXPECT_STREQ("", g_setup.ScratchPath);

    set_app_dir(REG_SZ, sz(dir + "\\no such directory"));
    EXPECT_EQ(program_files_proposal(), propose());
}

TEST_F(DestinationDefault, ProgramFilesTakesTheProductFolderAfterOneSeparator) {
    const std::string dir = make_scratch_directory("programs");
    set_program_files(dir);
    EXPECT_EQ(dir + "\\Quenvale\\Quenvale Tonvaro", propose());
    set_program_files(dir + "\\");
    EXPECT_EQ(dir + "\\Quenvale\\Quenvale Tonvaro", propose());
    EXPECT_TRUE(entries_of(dir).empty());
}

TEST_F(DestinationDefault, TheProfileFallbackIsNotProbed) {
    set_program_files("C:\\no such programs folder");
    ASSERT_TRUE(SetEnvironmentVariableA("USERPROFILE", "C:\\no such profile\\anna"));
    EXPECT_EQ("C:\\no such profile\\anna\\My Program Files\\Quenvale\\Quenvale Tonvaro", propose());
    ASSERT_TRUE(SetEnvironmentVariableA("USERPROFILE", "C:\\Documents and Settings\\anna\\"));
    EXPECT_EQ("C:\\Documents and Settings\\anna\\My Program Files\\Quenvale\\Quenvale Tonvaro",
              propose());
}

TEST_F(DestinationDefault, AnUndefinedOrOverlongProfileGivesNoProposal) {
    set_program_files("C:\\no such programs folder");
    ASSERT_TRUE(SetEnvironmentVariableA("USERPROFILE", nullptr));
    EXPECT_EQ("", propose());
    // Expands, but leaves no room for "My Program Files" and the product.
    ASSERT_TRUE(SetEnvironmentVariableA("USERPROFILE", ("C:\\" + std::string(1980, 'p')).c_str()));
    EXPECT_EQ("", propose());
    // Longer than the capacity handed to the expansion.
    ASSERT_TRUE(SetEnvironmentVariableA("USERPROFILE", ("C:\\" + std::string(2500, 'p')).c_str()));
    EXPECT_EQ("", propose());
}

TEST_F(DestinationDefault, TheLargestAppDirIsReadWithoutOverrun) {
    // 1999 characters and the terminator fill the 2000 bytes handed to the
    // registry. Too long then for a probe name, the value counts as absent.
    std::memset(g_setup.ScratchPath, 'x', kPathBufferSize);
    set_app_dir(REG_SZ, sz(std::string(1999, 'b')));
    ASSERT_EQ(1, read_app_dir(g_setup.ScratchPath));
    EXPECT_EQ(std::string(1999, 'b'), g_setup.ScratchPath);
    EXPECT_EQ(program_files_proposal(), propose());

    // Stored without a terminator, Wine hands one back after the bytes.
    set_app_dir(REG_SZ, std::string(1999, 'c'));
    ASSERT_EQ(1, read_app_dir(g_setup.ScratchPath));
    EXPECT_EQ(std::string(1999, 'c'), g_setup.ScratchPath);

    // 2000 characters, with or without a terminator, exceed the capacity:
    // the read fails and nothing of them is proposed.
    for (const std::string& stored : {std::string(2000, 'a'), sz(std::string(2000, 'a'))}) {
        std::memset(g_setup.ScratchPath, 'x', kPathBufferSize);
        set_app_dir(REG_SZ, stored);
        EXPECT_EQ(0, read_app_dir(g_setup.ScratchPath));
        EXPECT_STREQ("", g_setup.ScratchPath);
        EXPECT_EQ(program_files_proposal(), propose());
    }
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST_F(DestinationDefault, ProbeSkipsAnExistingNameAndLeavesItAlone) {
    const std::string dir = make_scratch_directory("probe");
    ASSERT_TRUE(write_file(dir + "\\ZPH0000", "someone else's"));
    // Watch which names the probe creates and removes.
    HANDLE watch = CreateFileA(dir.c_str(), FILE_LIST_DIRECTORY,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                               nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, watch);
    alignas(DWORD) char changes[4096];
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::string> seen;
    auto listen = [&]() {
        ResetEvent(overlapped.hEvent);
        return ReadDirectoryChangesW(watch, changes, sizeof changes, FALSE,
                                     FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped, nullptr);
    };
    ASSERT_TRUE(listen());

    EXPECT_EQ(1, probe_writable(dir.c_str(), g_setup.DestinationDir));

    while (WaitForSingleObject(overlapped.hEvent, 1000) == WAIT_OBJECT_0) {
        DWORD bytes = 0;
        if (!GetOverlappedResult(watch, &overlapped, &bytes, FALSE) || bytes == 0) break;
        for (const char* at = changes;;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            std::string name;
            for (DWORD i = 0; i < change->FileNameLength / sizeof(WCHAR); ++i) {
                name += static_cast<char>(change->FileName[i]);
            }
            seen.push_back((change->Action == FILE_ACTION_ADDED     ? "added "
                            : change->Action == FILE_ACTION_REMOVED ? "removed "
                                                                    : "other ") +
                           name);
            if (change->NextEntryOffset == 0) break;
            at += change->NextEntryOffset;
        }
        if (seen.size() >= 2 || !listen()) break;
    }
    CancelIo(watch);
    CloseHandle(overlapped.hEvent);
    CloseHandle(watch);

    EXPECT_EQ((std::vector<std::string>{"added ZPH0001", "removed ZPH0001"}), seen);
    EXPECT_EQ(std::set<std::string>{"ZPH0000"}, entries_of(dir));
    EXPECT_EQ("someone else's", read_file(dir + "\\ZPH0000"));
}

TEST_F(DestinationDefault, ProbeStopsAtAnErrorOtherThanAClash) {
    const std::string dir = make_scratch_directory("probe");
    // Path not found is no name clash: one attempt, then 0.
    EXPECT_EQ(0, probe_writable((dir + "\\missing").c_str(), g_setup.DestinationDir));
    EXPECT_EQ(0, probe_writable((dir + "\\bad|name").c_str(), g_setup.DestinationDir));
    EXPECT_TRUE(entries_of(dir).empty());
}

TEST_F(DestinationDefault, ProbeFailsWhenEveryNameIsTaken) {
    const std::string dir = make_scratch_directory("full");
    char name[16];
    for (unsigned n = 0; n < 10000; ++n) {
        std::snprintf(name, sizeof name, "\\ZPH%04u", n);
        HANDLE file = CreateFileA((dir + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << name;
        CloseHandle(file);
    }
    EXPECT_EQ(0, probe_writable(dir.c_str(), g_setup.DestinationDir));
    EXPECT_EQ(10000u, entries_of(dir).size());
    // One free name, the last: it is found.
    DeleteFileA((dir + "\\ZPH9999").c_str());
    EXPECT_EQ(1, probe_writable(dir.c_str(), g_setup.DestinationDir));
    EXPECT_EQ(9999u, entries_of(dir).size());
}
