// The sample product keeps the promises the setup program relies on: the
// document switches the file types register, plug-in libraries that load,
// and an uninstaller that leaves alone what is no installation.
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

// A folder that holds the product's files but no installer copy and is not
// the registered one is no installation: the uninstaller says so and
// removes nothing, not even files with the product's names.
TEST(SampleUninstaller, OutsideAnInstallationSaysSoAndRemovesNothing) {
    const std::string directory = make_scratch_directory("deinstall");
    const std::string program = directory + "\\Deinstall.exe";
    ASSERT_TRUE(CopyFileA(windows_path(TONVARO_DEINSTALL_EXE).c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CreateDirectoryA((directory + "\\Skins").c_str(), nullptr));
    ASSERT_TRUE(write_file(directory + "\\Zaphio.exe", "player"));
    ASSERT_TRUE(write_file(directory + "\\Skins\\Calm.s4u", "[Skin]"));
    std::string command = "\"" + program + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    CloseHandle(info.hThread);
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
        Sleep(50);
        box = FindWindowA("#32770", "Quenvale Tonvaro Uninstall");
    }
    char text[512] = "";
    if (box != nullptr) {
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    const bool ended = WaitForSingleObject(info.hProcess, 20000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(info.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Quenvale Tonvaro is not installed in " + directory + ".\n\nNothing was removed.",
              std::string(text));
    EXPECT_TRUE(ended);
    EXPECT_EQ(2u, code);
    EXPECT_EQ("player", read_file(directory + "\\Zaphio.exe"));
    EXPECT_EQ("[Skin]", read_file(directory + "\\Skins\\Calm.s4u"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(program.c_str()));
}
