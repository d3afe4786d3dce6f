#include <gtest/gtest.h>

#include <objbase.h>

#include <cstring>

#include "common/globals.h"
#include "common/results.h"
#include "payload/format.h"
#include "payload/verify.h"
#include "setup/startup.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

class Startup : public ::testing::Test {
protected:
    void SetUp() override { reset_setup_globals(); }
};

TEST_F(Startup, StartDirIsTheCurrentDirectory) {
    const std::string dir = make_scratch_directory("startdir");
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    char expected[MAX_PATH];
    GetCurrentDirectoryA(sizeof expected, expected);
    ASSERT_EQ(1, capture_start_directory());
    EXPECT_STREQ(expected, g_setup.StartDir);
    // The block is the reported size plus two bytes.
    EXPECT_EQ(std::strlen(expected) + 3, HeapSize(GetProcessHeap(), 0, g_setup.StartDir));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Startup, ComEntryPointsComeFromTheSystemOle32) {
    ASSERT_EQ(1, load_com_entry_points());
    EXPECT_NE(nullptr, g_setup.co_create_instance);
    EXPECT_NE(nullptr, g_setup.co_initialize);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    HMODULE ole32 = GetModuleHandleA("ole32.dll");
    ASSERT_NE(nullptr, ole32);
    char path[MAX_PATH];
    GetModuleFileNameA(ole32, path, sizeof path);
    EXPECT_EQ(0, _strnicmp(system, path, std::strlen(system))) << path;
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(Startup, ComAlreadyInitialisedIsFatal) {
    // CoInitialize then answers S_FALSE, which is not S_OK.
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(0, load_com_entry_points());
    ASSERT_EQ(1u, recorded_messages().size());
    const RecordedMessage& m = recorded_messages()[0];
    EXPECT_EQ("Fatal error: unable to initialize COM.", m.text);
    EXPECT_EQ("Error", m.caption);
    EXPECT_EQ(16u, m.flags);
    EXPECT_EQ(nullptr, m.owner);  // no wizard yet: the box has no owner
    CoUninitialize();
}

TEST_F(Startup, ExitCodeIsZeroOnlyForAFinishedWizard) {
    EXPECT_EQ(0u, exit_code_for(1));
    EXPECT_EQ(1u, exit_code_for(2));
    EXPECT_EQ(1u, exit_code_for(-1));
    EXPECT_EQ(1u, exit_code_for(0));
    EXPECT_EQ(1u, exit_code_for(0x100000001LL));
}

TEST_F(Startup, TheEmbeddedPayloadVerifiesInPlace) {
    const unsigned char* body = nullptr;
    const unsigned char* end = nullptr;
    ASSERT_EQ(1, verify_payload(&body, &end));
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(103), "RAWDATA");
    ASSERT_NE(nullptr, resource);
    const unsigned char* mapped =
        static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    // No copy: the body points into the mapped resource itself.
    EXPECT_EQ(mapped + 4, body);
    EXPECT_EQ(mapped + SizeofResource(nullptr, resource), end);
    PayloadEntry entry;
    const unsigned char* p = body + 4;
    for (unsigned i = 0; i < read_u32le(body); ++i) {
        ASSERT_EQ(1, read_entry(p, end, &entry));
        p = entry.next;
    }
    EXPECT_EQ(end, p);
}

TEST_F(Startup, AMissingPayloadLeavesThePlacesUntouched) {
    g_setup.module_instance = GetModuleHandleA("kernel32.dll");
    const unsigned char* body = reinterpret_cast<const unsigned char*>(1);
    const unsigned char* end = reinterpret_cast<const unsigned char*>(2);
    EXPECT_EQ(0, verify_payload(&body, &end));
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(1), body);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(2), end);
}
