// Shell links and the Internet shortcut, written through the prefix's real
// shell and read back through IShellLinkA and from the files' own bytes.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <set>
#include <string>

#include "common/globals.h"
#include "common/vendor.h"
#include "registration/shortcuts.h"
#include "registration/special_folders.h"
#include "setup/startup.h"
#include "tests/win/fixtures/registration/registry_fixture.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

struct LinkFields {
    bool loaded = false;
    std::string path, description, working_directory, arguments, icon_path;
    int icon_index = -100;
    unsigned show_command_field = 0;  // header offset 0x3C of the file
};

LinkFields read_link(const std::string& file) {
    LinkFields fields;
    IShellLinkA* link = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                         reinterpret_cast<void**>(&link)) != S_OK) {
        return fields;
    }
    IPersistFile* persist = nullptr;
    if (link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)) == S_OK) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        if (persist->Load(wide, STGM_READ) == S_OK) {
            fields.loaded = true;
            char text[MAX_PATH];
            text[0] = 0;
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            fields.path = text;
            text[0] = 0;
            link->GetDescription(text, MAX_PATH);
            fields.description = text;
            text[0] = 0;
            link->GetWorkingDirectory(text, MAX_PATH);
            fields.working_directory = text;
            text[0] = 0;
            link->GetArguments(text, MAX_PATH);
            fields.arguments = text;
            text[0] = 0;
            link->GetIconLocation(text, MAX_PATH, &fields.icon_index);
            fields.icon_path = text;
        }
        persist->Release();
    }
    link->Release();
    // Wine's GetShowCmd does not report the stored value; the file does.
    const std::string bytes = read_file(file);
    if (bytes.size() >= 0x40) std::memcpy(&fields.show_command_field, bytes.data() + 0x3C, 4);
    return fields;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void remove_tree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

void make_directories(const std::string& path) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
}


std::string shell_folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}


class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        buffers_.make();
        ASSERT_EQ(1, load_com_entry_points());
        destination_ = make_scratch_directory("dest") + "\\";
        for (const char* file : {"Zaphio.exe", "Zaphio.chm", "Deinstall.exe"}) {
            ASSERT_TRUE(write_file(destination_ + file, "content"));
        }
        std::strcpy(g_setup.DestinationDir, destination_.c_str());
        group_ = shell_folder(CSIDL_PROGRAMS) + "\\Quenvale\\Quenvale Tonvaro";
        desktop_link_ = shell_folder(CSIDL_DESKTOPDIRECTORY) + "\\Quenvale Tonvaro.lnk";
        quick_launch_ = shell_folder(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch";
        clean();
    }
    void TearDown() override {
        clean();
        if (boxes_parent_ != nullptr) DestroyWindow(boxes_parent_);
    }
    void clean() {
        remove_tree(shell_folder(CSIDL_PROGRAMS) + "\\Quenvale");
        remove_tree(desktop_link_);  // a file, or the directory a test put in the way
        DeleteFileA(desktop_link_.c_str());
        remove_tree(quick_launch_);
    }
    // The shortcuts page's two boxes, as real check boxes.
    void make_boxes(bool desktop, bool quick_launch) {
        boxes_parent_ = CreateWindowExA(0, "STATIC", "page", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                        nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, boxes_parent_);
        g_setup.desktop_box = CreateWindowExA(0, "BUTTON", "Desktop", WS_CHILD | BS_AUTOCHECKBOX,
                                              0, 0, 100, 20, boxes_parent_, nullptr, nullptr,
                                              nullptr);
        g_setup.quick_launch_box = CreateWindowExA(0, "BUTTON", "Quick Launch",
                                                   WS_CHILD | BS_AUTOCHECKBOX, 0, 30, 100, 20,
                                                   boxes_parent_, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, g_setup.desktop_box);
        ASSERT_NE(nullptr, g_setup.quick_launch_box);
        SendMessageA(g_setup.desktop_box, BM_SETCHECK, desktop ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageA(g_setup.quick_launch_box, BM_SETCHECK,
                     quick_launch ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void expect_player_link(const std::string& file, const char* description) {
        const LinkFields link = read_link(file);
        ASSERT_TRUE(link.loaded) << file;
        EXPECT_EQ(destination_ + "Zaphio.exe", link.path);
        EXPECT_EQ(description, link.description);
        EXPECT_EQ(destination_, link.working_directory);
        EXPECT_EQ(5u, link.show_command_field);
    }
    std::string destination_, group_, desktop_link_, quick_launch_;
    HWND boxes_parent_ = nullptr;
    PathBuffers buffers_;
};

const char* const kGroupEntries[] = {"Quenvale Tonvaro.lnk", "Help topics for Quenvale Tonvaro.lnk",
                                     "Visit Quenvale Tonvaro Website.url",
                                     "Uninstall Quenvale Tonvaro.lnk"};
const std::string kUrlFile =
    std::string("[InternetShortcut]\r\nURL=http://www.quenvale.example/products/0014");

}  // namespace

TEST_F(Shortcuts, ShellLinkCarriesEveryFieldAndIsReplaced) {
    const std::string folder = make_scratch_directory("links");
    ASSERT_EQ(1, create_shell_link("Help topics for Quenvale Tonvaro", "Zaphio.chm", 0,
                                   folder.c_str(), "Help.lnk"));
    LinkFields link = read_link(folder + "\\Help.lnk");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(destination_ + "Zaphio.chm", link.path);
    EXPECT_EQ("Help topics for Quenvale Tonvaro", link.description);
    EXPECT_EQ(destination_, link.working_directory);  // trailing separator kept
    EXPECT_EQ("", link.arguments);
    EXPECT_EQ(destination_ + "Zaphio.chm", link.icon_path);
    EXPECT_EQ(0, link.icon_index);
    EXPECT_EQ(5u, link.show_command_field);

    // A second link of the same name replaces the first.
    ASSERT_EQ(1, create_shell_link("Uninstall Quenvale Tonvaro", "Deinstall.exe", -1,
                                   (folder + "\\").c_str(), "Help.lnk"));
    link = read_link(folder + "\\Help.lnk");
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(destination_ + "Deinstall.exe", link.path);
    EXPECT_EQ("Uninstall Quenvale Tonvaro", link.description);
    EXPECT_EQ("", link.icon_path);  // -1: no icon location
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Shortcuts, ALinkPathOf260CharactersOrMoreFails) {
    const std::string base = make_scratch_directory("long");
    // A folder that makes "folder\x.lnk" exactly 259 characters long.
    std::string folder = base + "\\";
    folder += std::string(259 - folder.size() - std::strlen("\\x.lnk"), 'f');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_EQ(259u, (folder + "\\x.lnk").size());
    EXPECT_EQ(1, create_shell_link("d", "Zaphio.exe", 0, folder.c_str(), "x.lnk"));
    EXPECT_TRUE(exists(folder + "\\x.lnk"));
    EXPECT_EQ(0, create_shell_link("d", "Zaphio.exe", 0, folder.c_str(), "xy.lnk"));
    EXPECT_FALSE(exists(folder + "\\xy.lnk"));
    EXPECT_EQ(0, create_shell_link("d", "Zaphio.exe", 0, folder.c_str(),
                                   (std::string(300, 'n') + ".lnk").c_str()));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST_F(Shortcuts, UrlFileHoldsTheHeaderAndTheAddressOnly) {
    const std::string folder = make_scratch_directory("url");
    const std::string file = folder + "\\Visit Quenvale Tonvaro Website.url";
    ASSERT_TRUE(write_file(file, std::string(200, 'z')));
    ASSERT_EQ(1, create_url_shortcut(folder.c_str(), "Visit Quenvale Tonvaro Website", kProductPage));
    EXPECT_EQ(kUrlFile, read_file(file));
    ASSERT_EQ(1, create_url_shortcut((folder + "\\").c_str(), "empty", ""));
    EXPECT_EQ("[InternetShortcut]\r\nURL=", read_file(folder + "\\empty.url"));
    EXPECT_EQ(0, create_url_shortcut((folder + "\\missing").c_str(), "x", kProductPage));
}

TEST_F(Shortcuts, BothBoxesTickedFillGroupDesktopAndQuickLaunch) {
    make_boxes(true, true);
    ASSERT_EQ(1, create_shortcuts());
    EXPECT_TRUE(recorded_messages().empty());
    EXPECT_EQ(std::set<std::string>(std::begin(kGroupEntries), std::end(kGroupEntries)),
              entries_of(group_));
    expect_player_link(group_ + "\\Quenvale Tonvaro.lnk", "Quenvale Tonvaro");
    const LinkFields help = read_link(group_ + "\\Help topics for Quenvale Tonvaro.lnk");
    EXPECT_EQ(destination_ + "Zaphio.chm", help.path);
    EXPECT_EQ("Help topics for Quenvale Tonvaro", help.description);
    const LinkFields uninstall = read_link(group_ + "\\Uninstall Quenvale Tonvaro.lnk");
    EXPECT_EQ(destination_ + "Deinstall.exe", uninstall.path);
    EXPECT_EQ("Uninstall Quenvale Tonvaro", uninstall.description);
    EXPECT_EQ(destination_ + "Deinstall.exe", uninstall.icon_path);
    EXPECT_EQ(kUrlFile, read_file(group_ + "\\Visit Quenvale Tonvaro Website.url"));

    expect_player_link(desktop_link_, "Quenvale Tonvaro");
    // Created with its whole chain: a new prefix has no Quick Launch folder.
    expect_player_link(quick_launch_ + "\\Quenvale Tonvaro.lnk", "Launch Quenvale Tonvaro");
    EXPECT_EQ(std::set<std::string>{"Quenvale Tonvaro.lnk"}, entries_of(quick_launch_));
}

TEST_F(Shortcuts, NeitherBoxTickedFillsOnlyTheGroup) {
    make_boxes(false, false);
    ASSERT_EQ(1, create_shortcuts());
    EXPECT_EQ(4u, entries_of(group_).size());
    EXPECT_FALSE(exists(desktop_link_));
    EXPECT_FALSE(exists(quick_launch_));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Shortcuts, AFailedHelpLinkNamesTheHelpFileAndEndsTheStep) {
    make_boxes(true, true);
    make_directories(group_);
    ASSERT_TRUE(CreateDirectoryA((group_ + "\\Help topics for Quenvale Tonvaro.lnk").c_str(), nullptr));
    EXPECT_EQ(0, create_shortcuts());
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create link to Zaphio.chm in the programs menu.", recorded_messages()[0].text);
    EXPECT_EQ("Error", recorded_messages()[0].caption);
    EXPECT_EQ(16u, recorded_messages()[0].flags);
    EXPECT_TRUE(exists(group_ + "\\Quenvale Tonvaro.lnk"));
    EXPECT_FALSE(exists(group_ + "\\Visit Quenvale Tonvaro Website.url"));
    EXPECT_FALSE(exists(group_ + "\\Uninstall Quenvale Tonvaro.lnk"));
    EXPECT_FALSE(exists(desktop_link_));
    EXPECT_FALSE(exists(quick_launch_ + "\\Quenvale Tonvaro.lnk"));
}

TEST_F(Shortcuts, AFailedWebSiteShortcutIsReportedAndTheStepGoesOn) {
    make_boxes(true, false);
    make_directories(group_);
    ASSERT_TRUE(CreateDirectoryA((group_ + "\\Visit Quenvale Tonvaro Website.url").c_str(), nullptr));
    EXPECT_EQ(1, create_shortcuts());
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create link to Quenvale Tonvaro website in the programs menu.",
              recorded_messages()[0].text);
    EXPECT_EQ(16u, recorded_messages()[0].flags);
    EXPECT_TRUE(exists(group_ + "\\Uninstall Quenvale Tonvaro.lnk"));
    expect_player_link(desktop_link_, "Quenvale Tonvaro");
}

TEST_F(Shortcuts, AFailedDesktopLinkEndsTheStepBeforeQuickLaunch) {
    make_boxes(true, true);
    ASSERT_TRUE(CreateDirectoryA(desktop_link_.c_str(), nullptr));
    EXPECT_EQ(0, create_shortcuts());
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create link to Zaphio.exe on the desktop.", recorded_messages()[0].text);
    EXPECT_EQ(4u, entries_of(group_).size());
    EXPECT_FALSE(exists(quick_launch_ + "\\Quenvale Tonvaro.lnk"));
}

TEST_F(Shortcuts, AFailedQuickLaunchLinkIsReportedForTheBar) {
    make_boxes(false, true);
    // A file where the Quick Launch folder belongs: no link can go below it.
    make_directories(shell_folder(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer");
    ASSERT_TRUE(write_file(quick_launch_, "not a folder"));
    EXPECT_EQ(0, create_shortcuts());
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create link to Zaphio.exe on the Quicklaunch bar.",
              recorded_messages()[0].text);
    DeleteFileA(quick_launch_.c_str());
}

TEST_F(Shortcuts, QuickLaunchExistsOnlyWithItsFolderAndReturnsToStartDir) {
    const std::string elsewhere = make_scratch_directory("cwd");
    std::string start = make_scratch_directory("start");
    g_setup.StartDir = &start[0];
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));

    EXPECT_EQ(0, quick_launch_exists());
    EXPECT_EQ(elsewhere, current_directory());
    EXPECT_FALSE(exists(quick_launch_));

    make_directories(quick_launch_);
    ASSERT_TRUE(exists(quick_launch_));
    EXPECT_EQ(1, quick_launch_exists());
    EXPECT_EQ(start, current_directory());
}
