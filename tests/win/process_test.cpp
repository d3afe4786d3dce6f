#include <gtest/gtest.h>

#include <string>

#include "common/globals.h"
#include "common/probes.h"
#include "common/process.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

const std::string& child_exe() {
    static const std::string path = windows_path(TONVARO_CHILD_EXE);
    return path;
}

std::string directory_of(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

struct ChildReport {
    std::string command_line;
    std::string directory;
};

// Runs launch_process and waits for the child's report of itself.
ChildReport launch_and_read(const char* directory, const char* file, const char* arguments,
                            DWORD* exit_code = nullptr) {
    const std::string out = make_scratch_directory("child") + "\\report.txt";
    SetEnvironmentVariableA("TONVARO_CHILD_OUT", out.c_str());
    HANDLE process = launch_process(directory, file, arguments);
    EXPECT_NE(nullptr, process);
    ChildReport report;
    if (process == nullptr) return report;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 30000));
    if (exit_code != nullptr) GetExitCodeProcess(process, exit_code);
    CloseHandle(process);
    const std::string content = read_file(out);
    const std::size_t first = content.find('\n');
    if (first == std::string::npos) return report;
    report.command_line = content.substr(0, first);
    report.directory = content.substr(first + 1, content.find('\n', first + 1) - first - 1);
    return report;
}

}  // namespace

class Launch : public ::testing::Test {
protected:
    void SetUp() override { reset_setup_globals(); }
    void TearDown() override {
        SetEnvironmentVariableA("TONVARO_CHILD_OUT", nullptr);
        SetEnvironmentVariableA("TONVARO_CHILD_EXIT", nullptr);
    }
};

TEST_F(Launch, AnAddOnGetsItsQuotedPathAndTheSwitchAndOurDirectory) {
    const std::string here = make_scratch_directory("here");
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    const ChildReport r = launch_and_read(nullptr, child_exe().c_str(), "-ZaphioSetup");
    EXPECT_EQ("\"" + child_exe() + "\" -ZaphioSetup", r.command_line);
    EXPECT_EQ(current, r.directory);
}

TEST_F(Launch, ThePlayerStartsInItsDirectoryWithoutArguments) {
    const std::string dir = directory_of(child_exe()) + "\\";
    const ChildReport r = launch_and_read(dir.c_str(), "tonvaro-child.exe", "");
    EXPECT_EQ("\"" + dir + "tonvaro-child.exe\"", r.command_line);
    EXPECT_EQ(directory_of(child_exe()), r.directory);
}

TEST_F(Launch, ADriveRootStaysTheRootAsWorkingDirectory) {
    ASSERT_TRUE(CopyFileA(child_exe().c_str(), "C:\\tonvaro-child.exe", FALSE));
    const std::string elsewhere = make_scratch_directory("elsewhere");
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));
    const ChildReport r = launch_and_read("C:\\", "tonvaro-child.exe", nullptr);
    EXPECT_EQ("\"C:\\tonvaro-child.exe\"", r.command_line);
    EXPECT_EQ("C:\\", r.directory);
    DeleteFileA("C:\\tonvaro-child.exe");
}

TEST_F(Launch, TheExitCodeComesBackThroughTheHandle) {
    SetEnvironmentVariableA("TONVARO_CHILD_EXIT", "0x42010000");
    DWORD code = 0;
    launch_and_read(nullptr, child_exe().c_str(), "-ZaphioSetup", &code);
    EXPECT_EQ(0x42010000u, code);
}

TEST_F(Launch, AMissingProgramGivesNoHandleAndNoMessage) {
    HANDLE process = launch_process(nullptr, "C:\\no\\such\\installer.exe", "-ZaphioSetup");
    EXPECT_EQ(nullptr, process);
    EXPECT_TRUE(recorded_messages().empty());
}

namespace {

// Runs the child's probe under a Windows version that Wine pretends to be.
long probe_as(const char* version) {
    HKEY key;
    const char* path = "Software\\Wine\\AppDefaults\\tonvaro-child.exe";
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
    RegCloseKey(key);
    const long code = run_and_wait("\"" + child_exe() + "\" --probe");
    RegDeleteKeyA(HKEY_CURRENT_USER, path);
    return code;
}

}  // namespace

TEST(Probes, PlatformAndVersionFollowTheWindowsVersion) {
    // Exit code: is_nt_platform + 2 * is_nt5_or_later.
    EXPECT_EQ(0, probe_as("win95"));
    EXPECT_EQ(0, probe_as("win98"));
    EXPECT_EQ(1, probe_as("nt40"));
    EXPECT_EQ(3, probe_as("win2k"));
    EXPECT_EQ(3, probe_as("winxp"));
    EXPECT_EQ(3, probe_as("win10"));
}

TEST(Probes, TheComponentLibraryComesFromTheSystemDirectoryNotBesideUs) {
    // A planted olepro32.dll beside the program that is not even a DLL: a
    // bare-name load would take it and fail.
    const std::string dir = make_scratch_directory("planted");
    const std::string copy = dir + "\\tonvaro-child.exe";
    ASSERT_TRUE(CopyFileA(child_exe().c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(write_file(dir + "\\olepro32.dll", "not a library"));
    const std::string out = dir + "\\report.txt";
    SetEnvironmentVariableA("TONVARO_CHILD_OUT", out.c_str());
    EXPECT_EQ(1, run_and_wait("\"" + copy + "\" --components", dir.c_str()));
    SetEnvironmentVariableA("TONVARO_CHILD_OUT", nullptr);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    const std::string loaded = read_file(out);
    EXPECT_EQ(0, _strnicmp(system, loaded.c_str(), strlen(system))) << loaded;
}

TEST(Probes, OpeningSomethingThatDoesNotExistAnswersZero) {
    EXPECT_EQ(0, open_in_shell("C:\\no\\such\\document.tonvaro-none"));
}
