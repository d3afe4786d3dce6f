// The longest texts the setup can meet, all in one process: registry values
// as long as the registry takes them and a destination that fills its
// PathBuffer. The PathBuffers end at an inaccessible page, so that a write
// or read of one byte past them ends the process; the setup's own blocks
// come from a heap of the test's own, validated at the end.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/globals.h"
#include "common/text.h"
#include "install/destination_default.h"
#include "install/installer_copy.h"
#include "install/installation_run.h"
#include "registration/file_types.h"
#include "registration/keys.h"
#include "registration/registry_roots.h"
#include "tests/win/fixtures/registration/registry_fixture.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

// `size` bytes that end where an inaccessible page begins.
char* guarded_block(unsigned size, std::vector<void*>* regions) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const unsigned page = info.dwPageSize;
    const unsigned pages = (size + page - 1) / page + 1;
    char* base = static_cast<char*>(
        VirtualAlloc(nullptr, pages * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (base == nullptr) return nullptr;
    DWORD old = 0;
    VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    regions->push_back(base);
    return base + (pages - 1) * page - size;
}

// The machine's own ProgramFilesDir, which the test changes.
RegistryValue g_program_files;

void restore_program_files() {
    put_value(HKEY_LOCAL_MACHINE, kWindowsVersionKey, kProgramFilesDirValue, g_program_files.type,
              g_program_files.data);
}

// A touch of a guard page ends the test at once, instead of waiting for a
// debugger that nobody answers, and leaves the machine's value as it was.
LONG WINAPI end_on_fault(EXCEPTION_POINTERS* fault) {
    restore_program_files();
    std::printf("FAIL: exception 0x%08lx at %p: a buffer was overrun\n",
                fault->ExceptionRecord->ExceptionCode, fault->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    ExitProcess(3);
}

// A value's bytes as stored: `length` characters, with or without the
// terminator another program may have left off.
std::string text_value(char c, unsigned length, bool terminated) {
    std::string bytes(length, c);
    if (terminated) bytes.push_back('\0');
    return bytes;
}

// The largest text value this registry takes, up to 16 MB (Windows keeps
// at most 1 MB in a value of its standard hive format).
unsigned largest_value_size(const std::string& key) {
    unsigned size = 1u << 24;
    while (size > 4096 && !put_value(HKEY_CURRENT_USER, key, "probe", REG_SZ,
                                     std::string(size, 'q'))) {
        size /= 2;
    }
    delete_tree(HKEY_CURRENT_USER, key);
    return size;
}

}  // namespace

TEST(LongInputs, RegistryValuesAndDestinationsOfEveryLengthStayInTheirBuffers) {
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(end_on_fault);
    reset_setup_globals();
    g_setup.process_heap = HeapCreate(0, 0, 0);
    ASSERT_NE(nullptr, g_setup.process_heap);
    std::vector<void*> regions;
    char** members[] = {&g_setup.ScratchPath, &g_setup.DestinationDir, &g_setup.LinkFolder,
                        &g_setup.InstallerCopyPath, &g_setup.ModulePath};
    for (char** member : members) {
        *member = guarded_block(kPathBufferSize, &regions);
        ASSERT_NE(nullptr, *member);
        (*member)[0] = 0;
    }
    choose_registry_roots();
    const std::string app_key = kApplicationKey;
    const std::string classes = "Software\\Classes\\";
    g_program_files = read_value(HKEY_LOCAL_MACHINE, kWindowsVersionKey, kProgramFilesDirValue);
    ASSERT_TRUE(g_program_files.present);
    char profile[MAX_PATH] = "";
    ASSERT_NE(0u, GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH));
    const std::string fallback = std::string(profile) + "\\My Program Files\\Quenvale\\Quenvale Tonvaro";

    const unsigned largest = largest_value_size("Software\\TonvaroTests\\Largest");
    std::printf("largest text value taken: %u bytes\n", largest);
    ASSERT_GE(largest, 1u << 20) << "the registry should take values of 1 MB";

    // AppDir and ProgramFilesDir of every length around the capacity and up
    // to the largest: only texts that fit are read, and none of these names
    // a writable directory, so the proposal is the profile's folder.
    const unsigned lengths[] = {kPathCapacity - 1, kPathCapacity, kPathBufferSize, 4096,
                                1u << 16, largest - 1};
    for (unsigned length : lengths) {
        for (bool terminated : {true, false}) {
            SCOPED_TRACE(testing::Message() << length << (terminated ? " terminated" : " bare"));
            EXPECT_TRUE(put_value(HKEY_CURRENT_USER, app_key, kAppDirValue, REG_SZ,
                                  text_value('a', length, terminated)));
            EXPECT_TRUE(put_value(HKEY_LOCAL_MACHINE, kWindowsVersionKey, kProgramFilesDirValue,
                                  REG_SZ, text_value('p', length, terminated)));
            const bool fits = length < kPathCapacity;
            EXPECT_EQ(fits ? 1 : 0, read_app_dir(g_setup.ScratchPath));
            EXPECT_EQ(fits ? std::string(length, 'a') : "", g_setup.ScratchPath);
            EXPECT_EQ(fits ? 1 : 0, read_program_files_dir(g_setup.LinkFolder));
            EXPECT_EQ(fits ? std::string(length, 'p') : "", g_setup.LinkFolder);
            choose_default_destination(g_setup.ScratchPath, g_setup.DestinationDir);
            EXPECT_EQ(fallback, g_setup.ScratchPath);
        }
    }
    restore_program_files();
    delete_tree(HKEY_CURRENT_USER, "SOFTWARE\\Quenvale");

    // A previous association of the largest size is kept byte for byte.
    std::strcpy(g_setup.DestinationDir, "C:\\QT\\");
    for (bool terminated : {true, false}) {
        const std::string foreign = "Foreign." + text_value('x', largest - 9, terminated);
        delete_tree(HKEY_CURRENT_USER, classes + ".p4u");
        ASSERT_TRUE(put_value(HKEY_CURRENT_USER, classes + ".p4u", nullptr, REG_SZ, foreign));
        EXPECT_EQ(1, associate_extension(".p4u", "QuenvaleTonvaro.PlayList")) << terminated;
        const RegistryValue old = read_value(HKEY_CURRENT_USER, classes + ".p4u", kOldAssocValue);
        EXPECT_TRUE(old.present);
        EXPECT_EQ(foreign.size() + (terminated ? 0 : 1), old.data.size());
        EXPECT_EQ(0, old.data.compare(0, foreign.size(), foreign)) << terminated;
    }
    delete_tree(HKEY_CURRENT_USER, classes + ".p4u");
    delete_tree(HKEY_CURRENT_USER, classes + "QuenvaleTonvaro.PlayList");

    // Destinations that fill the PathBuffer, with and without the separator
    // that the run appends: every composition from them fails, none writes.
    // The run starts from a scratch directory, where nothing may appear.
    const std::string start = make_scratch_directory("long-inputs");
    g_setup.StartDir = guarded_block(static_cast<unsigned>(start.size()) + 2, &regions);
    std::strcpy(g_setup.StartDir, start.c_str());
    for (const std::string& destination :
         {"C:\\" + std::string(kPathCapacity - 3, 'd'),
          "C:\\" + std::string(kPathCapacity - 4, 'd') + "\\",
          "C:\\" + std::string(kPathCapacity - 4, 'd')}) {
        SCOPED_TRACE(destination.size());
        std::strcpy(g_setup.DestinationDir, destination.c_str());
        reset_messages();
        EXPECT_EQ(0, run_installation());
        ASSERT_EQ(1u, recorded_messages().size());
        EXPECT_EQ(0u, recorded_messages()[0].text.find("Unable to create destination directory"));
        std::strcpy(g_setup.DestinationDir, destination.c_str());
        EXPECT_EQ(0, register_installation());
        SetCurrentDirectoryA(start.c_str());
        EXPECT_EQ(0, copy_installer());
        EXPECT_STREQ("", g_setup.InstallerCopyPath);
        EXPECT_EQ(destination, g_setup.DestinationDir);
    }
    RemoveDirectoryA((start + "\\Installer").c_str());
    EXPECT_TRUE(entries_of(start).empty());
    delete_tree(HKEY_CURRENT_USER, "SOFTWARE\\Quenvale");
    delete_tree(HKEY_CURRENT_USER,
                "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenvale Tonvaro");
    for (const char* key : {".p4u", ".s4u", "QuenvaleTonvaro.PlayList", "QuenvaleTonvaro.Skin"}) {
        delete_tree(HKEY_CURRENT_USER, classes + key);
    }

    EXPECT_TRUE(HeapValidate(g_setup.process_heap, 0, nullptr));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
    HeapDestroy(g_setup.process_heap);
    for (void* region : regions) VirtualFree(region, 0, MEM_RELEASE);
    reset_setup_globals();
    SetUnhandledExceptionFilter(previous);
}
