// Registry roots, the application and uninstall keys and the file types,
// written into the prefix's real registry and read back with their types
// and byte lengths.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/globals.h"
#include "registration/file_types.h"
#include "registration/registry_roots.h"
#include "tests/win/fixtures/registration/registry_fixture.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

const char* const kClassKeys[] = {"QuenvaleTonvaro.PlayList", "QuenvaleTonvaro.Skin", ".p4u",
                                  ".s4u"};
const std::string kUserClasses = "Software\\Classes\\";
const std::string kMachineClasses = "Software\\Classes\\";
const std::string kAppKey = "SOFTWARE\\Quenvale\\Quenvale Tonvaro";
const std::string kUninstallEntry =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenvale Tonvaro";
// A root of the tests' own, for cases that need a key in the way.
const std::string kTestRoot = "Software\\TonvaroTests";

void remove_registration(HKEY root) {
    delete_tree(root, "SOFTWARE\\Quenvale");
    delete_tree(root, kUninstallEntry);
}

void remove_classes() {
    for (const char* key : kClassKeys) {
        delete_tree(HKEY_CURRENT_USER, kUserClasses + key);
        delete_tree(HKEY_LOCAL_MACHINE, kMachineClasses + key);
    }
}

std::string programs_folder() {
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE);
    return path;
}

void expect_text(HKEY root, const std::string& key, const char* name, const std::string& text) {
    const RegistryValue value = read_value(root, key, name);
    ASSERT_TRUE(value.present) << key << " : " << (name ? name : "(default)");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type) << key;
    EXPECT_EQ(sz(text), value.data) << key << " : " << (name ? name : "(default)");
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        buffers_.make();
        choose_registry_roots();
        remove_registration(HKEY_CURRENT_USER);
        remove_classes();
        delete_tree(HKEY_CURRENT_USER, kTestRoot);
    }
    void TearDown() override {
        remove_registration(HKEY_CURRENT_USER);
        remove_classes();
        delete_tree(HKEY_CURRENT_USER, kTestRoot);
    }
    void set_destination(const char* directory) {
        std::strcpy(g_setup.DestinationDir, directory);
    }
    // The application root of these tests' own key, for cases that put a
    // key in the way.
    HKEY own_application_root() {
        HKEY root = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, (kTestRoot + "\\Root").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &root, nullptr);
        return root;
    }
    PathBuffers buffers_;
};

}  // namespace

TEST_F(Registration, FileTypesWriteTheWholeTree) {
    set_destination("C:\\Program Files\\Q T\\");
    ASSERT_EQ(1, register_file_types());
    const std::string player = "\"C:\\Program Files\\Q T\\Zaphio.exe\" ";
    struct Expected {
        const char* key;
        std::string text;
    };
    const Expected tree[] = {
        {"QuenvaleTonvaro.PlayList", "Quenvale Tonvaro Playlist"},
        {"QuenvaleTonvaro.PlayList\\shell", "play"},
        {"QuenvaleTonvaro.PlayList\\shell\\open", "Open"},
        {"QuenvaleTonvaro.PlayList\\shell\\open\\command", player + "-l \"%1\""},
        {"QuenvaleTonvaro.PlayList\\shell\\play", "Open and Play"},
        {"QuenvaleTonvaro.PlayList\\shell\\play\\command", player + "-p -l \"%1\""},
        {"QuenvaleTonvaro.PlayList\\shell\\addtolist", "Add to PlayList"},
        {"QuenvaleTonvaro.PlayList\\shell\\addtolist\\command", player + "-a \"%1\""},
        {"QuenvaleTonvaro.PlayList\\DefaultIcon", "C:\\Program Files\\Q T\\Zaphio.exe,5"},
        {".p4u", "QuenvaleTonvaro.PlayList"},
        {"QuenvaleTonvaro.Skin", "Quenvale Tonvaro Skin"},
        {"QuenvaleTonvaro.Skin\\shell", "installactivate"},
        {"QuenvaleTonvaro.Skin\\shell\\install", "Install"},
        {"QuenvaleTonvaro.Skin\\shell\\install\\command", player + "-i \"%1\""},
        {"QuenvaleTonvaro.Skin\\shell\\installactivate", "Install and Activate"},
        {"QuenvaleTonvaro.Skin\\shell\\installactivate\\command", player + "-ia \"%1\""},
        {"QuenvaleTonvaro.Skin\\DefaultIcon", "C:\\Program Files\\Q T\\Zaphio.exe,6"},
        {".s4u", "QuenvaleTonvaro.Skin"},
    };
    for (const Expected& e : tree) expect_text(HKEY_CURRENT_USER, kUserClasses + e.key, nullptr, e.text);
    // A fresh system has no association to keep.
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kUserClasses + ".p4u", "QuenvaleTonvaro.OldAssoc").present);
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kUserClasses + ".s4u", "QuenvaleTonvaro.OldAssoc").present);
    // Nothing lands in the machine's classes.
    EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kMachineClasses + ".p4u"));
}

TEST_F(Registration, AVerbOfAnotherProgramStaysBesideOurs) {
    const std::string shell = kUserClasses + "QuenvaleTonvaro.PlayList\\shell";
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, shell, nullptr, REG_SZ, sz("enqueue")));
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, shell + "\\enqueue\\command", nullptr, REG_SZ,
                          sz("other.exe /q \"%1\"")));
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, kUserClasses + "QuenvaleTonvaro.PlayList",
                          "EditFlags", REG_DWORD, std::string("\x02\0\0\0", 4)));
    set_destination("C:\\QT\\");
    ASSERT_EQ(1, register_file_types());
    expect_text(HKEY_CURRENT_USER, shell + "\\enqueue\\command", nullptr, "other.exe /q \"%1\"");
    expect_text(HKEY_CURRENT_USER, shell, nullptr, "play");
    expect_text(HKEY_CURRENT_USER, shell + "\\play\\command", nullptr,
                "\"C:\\QT\\Zaphio.exe\" -p -l \"%1\"");
    EXPECT_TRUE(read_value(HKEY_CURRENT_USER, kUserClasses + "QuenvaleTonvaro.PlayList",
                           "EditFlags").present);
}

TEST_F(Registration, AVerbWithoutItsCommandStopsTheRegistration) {
    // Nothing non-volatile can be created below a volatile key: "play"
    // cannot take its "command".
    const std::string shell = kUserClasses + "QuenvaleTonvaro.PlayList\\shell";
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, shell, nullptr, REG_NONE, "", false));
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, shell + "\\play", nullptr, REG_NONE, "", true));
    set_destination("C:\\QT\\");
    EXPECT_EQ(0, register_file_types());
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, shell + "\\open\\command"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, shell + "\\play\\command"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, shell + "\\addtolist"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kUserClasses + "QuenvaleTonvaro.PlayList\\DefaultIcon"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kUserClasses + ".p4u"));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kUserClasses + "QuenvaleTonvaro.Skin"));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Registration, ACommandLineThatWouldNotFitFailsTheClass) {
    // 1990 characters and a separator leave no room for the quoted player.
    const std::string destination = "C:\\" + std::string(1987, 'd') + "\\";
    set_destination(destination.c_str());
    EXPECT_EQ(0, register_file_class(kPlaylistClass));
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kUserClasses + "QuenvaleTonvaro.PlayList\\shell"));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

// Each case: the default value .p4u holds before, and whether it is kept.
TEST_F(Registration, PreviousAssociationIsKeptOnlyWhenForeignText) {
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        bool kept;
    };
    const Case cases[] = {
        {"foreign ProgID", REG_SZ, sz("Winamp.PlayList"), true},
        {"own ProgID", REG_SZ, sz("QuenvaleTonvaro.PlayList"), false},
        {"maker word in capitals", REG_SZ, sz("QUENVALE.Visualiser"), false},
        {"another class of the maker", REG_SZ, sz("quenvaleRadio.Station"), false},
        {"one letter short of the maker word", REG_SZ, sz("Quenval"), true},
        {"empty text", REG_SZ, sz(""), true},
        {"expandable text", REG_EXPAND_SZ, sz("%ProgramFiles%\\x.exe"), false},
        {"binary", REG_BINARY, std::string("\x01\x02\x03", 3), false},
    };
    set_destination("C:\\QT\\");
    for (const Case& c : cases) {
        remove_classes();
        ASSERT_TRUE(put_value(HKEY_CURRENT_USER, kUserClasses + ".p4u", nullptr, c.type, c.bytes));
        ASSERT_EQ(1, associate_extension(".p4u", "QuenvaleTonvaro.PlayList")) << c.what;
        expect_text(HKEY_CURRENT_USER, kUserClasses + ".p4u", nullptr, "QuenvaleTonvaro.PlayList");
        const RegistryValue old =
            read_value(HKEY_CURRENT_USER, kUserClasses + ".p4u", "QuenvaleTonvaro.OldAssoc");
        EXPECT_EQ(c.kept, old.present) << c.what;
        if (c.kept && old.present) {
            EXPECT_EQ(c.type, old.type) << c.what;
            EXPECT_EQ(c.bytes, old.data) << c.what;
        }
    }
}

TEST_F(Registration, ReinstallationKeepsTheFirstSavedAssociation) {
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, kUserClasses + ".s4u", nullptr, REG_SZ,
                          sz("Wmp.SkinFile")));
    set_destination("C:\\QT\\");
    ASSERT_EQ(1, register_file_types());
    ASSERT_EQ(1, register_file_types());
    expect_text(HKEY_CURRENT_USER, kUserClasses + ".s4u", "QuenvaleTonvaro.OldAssoc", "Wmp.SkinFile");
    expect_text(HKEY_CURRENT_USER, kUserClasses + ".s4u", nullptr, "QuenvaleTonvaro.Skin");
}

TEST_F(Registration, AssociationStoredWithoutTerminatorIsReadAsStored) {
    // Values of another program, stored without the terminating zero or with
    // no bytes at all: whatever the registry hands back is kept with the
    // same type and bytes, and the text ends there.
    struct Case {
        std::string bytes;
        bool kept;
    };
    const Case cases[] = {
        {"Foreign.List", true},
        {"", true},
        {"Quenvale", false},
        {"QuenvaleTonvaro.PlayList", false},
    };
    for (const Case& c : cases) {
        remove_classes();
        ASSERT_TRUE(put_value(HKEY_CURRENT_USER, kUserClasses + ".p4u", nullptr, REG_SZ, c.bytes));
        ASSERT_EQ(1, associate_extension(".p4u", "QuenvaleTonvaro.PlayList")) << c.bytes;
        const RegistryValue old =
            read_value(HKEY_CURRENT_USER, kUserClasses + ".p4u", "QuenvaleTonvaro.OldAssoc");
        EXPECT_EQ(c.kept, old.present) << c.bytes;
        if (old.present) {
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), old.type);
            EXPECT_EQ(std::string(old.data.c_str()), c.bytes);
            EXPECT_LE(old.data.size(), c.bytes.size() + 1);
        }
        EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    }
}

TEST_F(Registration, InstallationWritesApplicationKeyAndUninstallEntry) {
    ASSERT_TRUE(put_value(HKEY_CURRENT_USER, kAppKey, "LangPack", REG_SZ, sz("German.lng")));
    set_destination("C:\\Program Files\\Quenvale\\Quenvale Tonvaro\\");
    std::strcpy(g_setup.InstallerCopyPath,
                "C:\\Program Files\\Quenvale\\Quenvale Tonvaro\\Installer\\setup.exe");
    ASSERT_EQ(1, register_installation());
    EXPECT_TRUE(recorded_messages().empty());

    expect_text(HKEY_CURRENT_USER, kAppKey, "AppDir", "C:\\Program Files\\Quenvale\\Quenvale Tonvaro");
    const std::string programs = programs_folder();
    ASSERT_FALSE(programs.empty());
    expect_text(HKEY_CURRENT_USER, kAppKey, "LinkDir", programs + "\\Quenvale\\Quenvale Tonvaro");
    const RegistryValue version = read_value(HKEY_CURRENT_USER, kAppKey, "PlayerVersion");
    ASSERT_TRUE(version.present);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), version.type);
    ASSERT_EQ(4u, version.data.size());
    DWORD number = 0;
    std::memcpy(&number, version.data.data(), 4);
    EXPECT_EQ(65621u, number);
    expect_text(HKEY_CURRENT_USER, kAppKey, "InstallerPath",
                "C:\\Program Files\\Quenvale\\Quenvale Tonvaro\\Installer\\setup.exe");
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, kAppKey, "LangPack").present);

    const RegistryValue name = read_value(HKEY_CURRENT_USER, kUninstallEntry, "DisplayName");
    EXPECT_EQ(17u, name.data.size());
    expect_text(HKEY_CURRENT_USER, kUninstallEntry, "DisplayName", "Quenvale Tonvaro");
    expect_text(HKEY_CURRENT_USER, kUninstallEntry, "UninstallString",
                "C:\\Program Files\\Quenvale\\Quenvale Tonvaro\\Deinstall.exe");
    // The file types came last.
    expect_text(HKEY_CURRENT_USER, kUserClasses + ".p4u", nullptr, "QuenvaleTonvaro.PlayList");
}

TEST_F(Registration, ReinstallationAtADriveRootReplacesTheValues) {
    set_destination("C:\\Apps\\Quenvale Tonvaro\\");
    std::strcpy(g_setup.InstallerCopyPath, "C:\\Apps\\Quenvale Tonvaro\\Installer\\setup.exe");
    ASSERT_EQ(1, register_installation());
    set_destination("D:\\");
    std::strcpy(g_setup.InstallerCopyPath, "D:\\Installer\\setup.exe");
    ASSERT_EQ(1, register_installation());  // no LangPack to delete: no failure
    expect_text(HKEY_CURRENT_USER, kAppKey, "AppDir", "D:");
    expect_text(HKEY_CURRENT_USER, kAppKey, "InstallerPath", "D:\\Installer\\setup.exe");
    expect_text(HKEY_CURRENT_USER, kUninstallEntry, "UninstallString", "D:\\Deinstall.exe");
    expect_text(HKEY_CURRENT_USER, kUserClasses + "QuenvaleTonvaro.Skin\\DefaultIcon", nullptr,
                "D:\\Zaphio.exe,6");
}

TEST_F(Registration, AnUninstallKeyThatCannotBeMadeKeepsTheApplicationValues) {
    HKEY root = own_application_root();
    ASSERT_NE(nullptr, root);
    // Only the last key volatile: the application key can still be made.
    ASSERT_TRUE(put_value(root, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", nullptr, REG_NONE, ""));
    ASSERT_TRUE(put_value(root, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", nullptr,
                          REG_NONE, "", true));
    g_setup.RegistryRoots.application_root = root;
    set_destination("C:\\QT\\");
    std::strcpy(g_setup.InstallerCopyPath, "C:\\QT\\Installer\\setup.exe");
    EXPECT_EQ(0, register_installation());
    expect_text(root, kAppKey, "AppDir", "C:\\QT");
    expect_text(root, kAppKey, "InstallerPath", "C:\\QT\\Installer\\setup.exe");
    EXPECT_FALSE(key_exists(root, kUninstallEntry));
    // The file types are not attempted.
    EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kUserClasses + ".p4u"));
    EXPECT_TRUE(recorded_messages().empty());
    RegCloseKey(root);
}

TEST_F(Registration, AnApplicationKeyThatCannotBeMadeStopsBeforeTheUninstallEntry) {
    HKEY root = own_application_root();
    ASSERT_NE(nullptr, root);
    ASSERT_TRUE(put_value(root, "SOFTWARE", nullptr, REG_NONE, ""));
    ASSERT_TRUE(put_value(root, "SOFTWARE\\Quenvale", nullptr, REG_NONE, "", true));
    g_setup.RegistryRoots.application_root = root;
    set_destination("C:\\QT\\");
    std::strcpy(g_setup.InstallerCopyPath, "C:\\QT\\Installer\\setup.exe");
    EXPECT_EQ(0, register_installation());
    EXPECT_FALSE(key_exists(root, kAppKey));
    EXPECT_FALSE(key_exists(root, kUninstallEntry));
    RegCloseKey(root);
}

TEST_F(Registration, AnUninstallStringThatWouldNotFitFailsAfterTheDisplayName) {
    HKEY root = own_application_root();
    ASSERT_NE(nullptr, root);
    g_setup.RegistryRoots.application_root = root;
    // The destination fits a PathBuffer; with "Deinstall.exe" it would not.
    const std::string destination = "C:\\" + std::string(1990, 'd') + "\\";
    set_destination(destination.c_str());
    std::strcpy(g_setup.InstallerCopyPath, "C:\\QT\\Installer\\setup.exe");
    EXPECT_EQ(0, register_installation());
    expect_text(root, kAppKey, "AppDir", destination.substr(0, destination.size() - 1));
    expect_text(root, kUninstallEntry, "DisplayName", "Quenvale Tonvaro");
    EXPECT_FALSE(read_value(root, kUninstallEntry, "UninstallString").present);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    RegCloseKey(root);
}

// The roots follow the Windows version that Wine reports to the program
// that asks; AppDefaults sets it per program name, for programs started
// afterwards. The child registers an installation and reports its roots.
namespace {

struct VersionCase {
    const char* version;
    HKEY application_root;
    const char* application_root_name;
    bool user_classes;  // HKCU\Software\Classes, else HKEY_CLASSES_ROOT
};

class RegistryRootsByVersion : public ::testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override {
        clean();
        const char* exe = std::strrchr(TONVARO_REGISTRATION_CHILD_EXE, '/') + 1;
        app_defaults_ = std::string("Software\\Wine\\AppDefaults\\") + exe;
        ASSERT_TRUE(put_value(HKEY_CURRENT_USER, app_defaults_, "Version", REG_SZ,
                              sz(GetParam().version)));
    }
    void TearDown() override {
        clean();
        delete_tree(HKEY_CURRENT_USER, app_defaults_);
    }
    static void clean() {
        remove_registration(HKEY_CURRENT_USER);
        remove_registration(HKEY_LOCAL_MACHINE);
        remove_classes();
    }
    std::string app_defaults_;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.version; }

std::string lines_of(const std::string& text, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) start = text.find('\n', start) + 1;
    return text.substr(start, text.find('\n', start) - start);
}

}  // namespace

TEST_P(RegistryRootsByVersion, ValuesLandUnderTheRootsOfThatVersion) {
    const VersionCase& c = GetParam();
    const std::string scratch = make_scratch_directory("roots");
    const std::string out = scratch + "\\roots.txt";
    const std::string command = std::string("\"") + windows_path(TONVARO_REGISTRATION_CHILD_EXE) +
                                "\" \"C:\\Apps\\Quenvale Tonvaro\\\\\" " +
                                "\"C:\\Apps\\Quenvale Tonvaro\\Installer\\setup.exe\" \"" + out + "\"";
    ASSERT_EQ(1, run_and_wait(command));
    const std::string report = read_file(out);
    EXPECT_EQ(c.application_root_name, lines_of(report, 0)) << report;
    EXPECT_EQ(c.user_classes ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT", lines_of(report, 1));
    EXPECT_EQ(c.user_classes ? "Software\\Classes" : "", lines_of(report, 2));

    const HKEY other_root =
        c.application_root == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const char* values[] = {"AppDir", "LinkDir", "PlayerVersion", "InstallerPath"};
    for (const char* name : values) {
        const RegistryValue value = read_value(c.application_root, kAppKey, name);
        ASSERT_TRUE(value.present) << name;
        std::printf("%s: %s found under %s\\%s, %s, %u bytes\n", c.version, name,
                    c.application_root_name, kAppKey.c_str(), type_name(value.type),
                    static_cast<unsigned>(value.data.size()));
        EXPECT_FALSE(read_value(other_root, kAppKey, name).present) << name;
    }
    expect_text(c.application_root, kAppKey, "AppDir", "C:\\Apps\\Quenvale Tonvaro");
    expect_text(c.application_root, kUninstallEntry, "UninstallString",
                "C:\\Apps\\Quenvale Tonvaro\\Deinstall.exe");
    std::printf("%s: UninstallString found under %s\\%s\n", c.version, c.application_root_name,
                kUninstallEntry.c_str());
    EXPECT_FALSE(key_exists(other_root, kUninstallEntry));

    // Wine keeps what is written to HKEY_CLASSES_ROOT in the machine's
    // classes.
    const HKEY classes_home = c.user_classes ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const HKEY classes_other = c.user_classes ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    expect_text(classes_home, kUserClasses + ".p4u", nullptr, "QuenvaleTonvaro.PlayList");
    expect_text(classes_home, kUserClasses + "QuenvaleTonvaro.Skin\\shell", nullptr,
                "installactivate");
    // Wine's HKEY_CLASSES_ROOT shows the machine's classes only.
    if (!c.user_classes) expect_text(HKEY_CLASSES_ROOT, ".s4u", nullptr, "QuenvaleTonvaro.Skin");
    EXPECT_FALSE(key_exists(classes_other, kUserClasses + ".p4u"));
    std::printf("%s: .p4u found under %s\n", c.version,
                c.user_classes ? "HKEY_CURRENT_USER\\Software\\Classes"
                               : "HKEY_CLASSES_ROOT (HKEY_LOCAL_MACHINE\\Software\\Classes)");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, RegistryRootsByVersion,
    ::testing::Values(VersionCase{"win98", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", false},
                      VersionCase{"nt40", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", false},
                      VersionCase{"win2k", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", true},
                      VersionCase{"winxp", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", true}),
    [](const ::testing::TestParamInfo<VersionCase>& info) {
        return std::string(info.param.version);
    });
