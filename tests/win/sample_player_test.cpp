// The sample product keeps the promises the setup program relies on: the
// document switches the file types register, plug-in libraries that load,
// and an uninstaller that, for now, only tells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win/fixtures/player/player_process.h"
#include "tests/win/test_support.h"

namespace {

struct SwitchCase {
    const char* arguments;
    const char* action;
    const char* path;
};

// The command lines of the playlist and skin verbs, as the shell fills them.
const SwitchCase kSwitchCases[] = {
    {"", "run", ""},
    {"-l \"C:\\My Music\\Party list.p4u\"", "open-playlist", "C:\\My Music\\Party list.p4u"},
    {"-p -l \"C:\\My Music\\Party list.p4u\"", "play-playlist", "C:\\My Music\\Party list.p4u"},
    {"-a \"D:\\tracks\\one.p4u\"", "add-to-playlist", "D:\\tracks\\one.p4u"},
    {"-i \"C:\\Skins\\Night Teal.s4u\"", "install-skin", "C:\\Skins\\Night Teal.s4u"},
    {"-ia \"C:\\Skins\\Night Teal.s4u\"", "install-activate-skin", "C:\\Skins\\Night Teal.s4u"},
    {"-l", "unrecognised", "-l"},
    {"-p \"C:\\a.p4u\"", "unrecognised", "-p \"C:\\a.p4u\""},
    {"-x \"C:\\a.p4u\"", "unrecognised", "-x \"C:\\a.p4u\""},
};

}  // namespace

TEST(SamplePlayer, EachDocumentSwitchIsUnderstoodFromItsDirectory) {
    const std::string directory = make_scratch_directory("player-dir");
    for (const SwitchCase& c : kSwitchCases) {
        SCOPED_TRACE(c.arguments);
        PlayerProcess player;
        ASSERT_TRUE(player.start(c.arguments, directory.c_str()));
        const std::vector<std::string> lines = player.report();
        ASSERT_EQ(1u, lines.size());
        const std::vector<std::string> fields = split_fields(lines[0], '\t');
        ASSERT_EQ(3u, fields.size());
        EXPECT_EQ(c.action, fields[0]);
        EXPECT_EQ(c.path, fields[1]);
        EXPECT_EQ(directory, fields[2]);
        // Every request leaves the player running until it is told to quit.
        EXPECT_FALSE(player.ended_within(0));
        ASSERT_TRUE(PostMessageA(player.main_window(), WM_QUIT, 0, 0));
        EXPECT_TRUE(player.ended_within(5000));
    }
}

TEST(SamplePlayer, EachPluginLibraryAnswersItsName) {
    const std::string directory = windows_path(TONVARO_PLUGINS_DIR);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*.dll").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    int libraries = 0;
    do {
        const std::string file = found.cFileName;
        SCOPED_TRACE(file);
        HMODULE library = LoadLibraryA((directory + "\\" + file).c_str());
        ASSERT_NE(nullptr, library);
        typedef const char* (*NameEntry)();
        const NameEntry name = reinterpret_cast<NameEntry>(
            reinterpret_cast<void*>(GetProcAddress(library, "plugin_name")));
        ASSERT_NE(nullptr, name);
        EXPECT_EQ(file.substr(0, file.size() - 4), name());
        FreeLibrary(library);
        ++libraries;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(8, libraries);
}

TEST(SampleUninstaller, ListsTheFilesBesideItAndRemovesNothing) {
    const std::string directory = make_scratch_directory("deinstall");
    const std::string program = directory + "\\Deinstall.exe";
    ASSERT_TRUE(CopyFileA(windows_path(TONVARO_DEINSTALL_EXE).c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryA((directory + "\\Skins").c_str(), nullptr));
    ASSERT_TRUE(write_file(directory + "\\Zaphio.exe", "player"));
    ASSERT_TRUE(write_file(directory + "\\Skins\\Calm.s4u", "[Skin]"));
    const std::string report = make_scratch_directory("deinstall-report") + "\\report.txt";
    SetEnvironmentVariableA("TONVARO_DEINSTALL_REPORT", report.c_str());
    const long code = run_and_wait("\"" + program + "\"");
    SetEnvironmentVariableA("TONVARO_DEINSTALL_REPORT", nullptr);
    EXPECT_EQ(0, code);
    const std::string text = read_file(report);
    EXPECT_NE(std::string::npos, text.find(directory));
    EXPECT_NE(std::string::npos, text.find("    Zaphio.exe\r\n"));
    EXPECT_NE(std::string::npos, text.find("    Skins\\Calm.s4u\r\n"));
    EXPECT_NE(std::string::npos, text.find("    Deinstall.exe\r\n"));
    EXPECT_EQ("player", read_file(directory + "\\Zaphio.exe"));
    EXPECT_EQ("[Skin]", read_file(directory + "\\Skins\\Calm.s4u"));
}
