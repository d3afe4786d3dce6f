#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "setup/ids.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

class Helpers : public ::testing::Test {
protected:
    void SetUp() override { reset_setup_globals(); }
};

TEST_F(Helpers, AnExhaustedHeapReportsWithoutAWizard) {
    HANDLE small = HeapCreate(0, 0x10000, 0x10000);  // cannot grow
    ASSERT_NE(nullptr, small);
    g_setup.process_heap = small;
    void* block = alloc_or_report(0x40000);
    EXPECT_EQ(nullptr, block);
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Not enough free memory.", recorded_messages()[0].text);
    EXPECT_EQ("Memory error", recorded_messages()[0].caption);
    EXPECT_EQ(16u, recorded_messages()[0].flags);
    EXPECT_EQ(nullptr, recorded_messages()[0].owner);
    // Several failures in a row report each time.
    EXPECT_EQ(nullptr, alloc_or_report(0x40000));
    EXPECT_EQ(2u, recorded_messages().size());
    void* fits = alloc_or_report(100);
    EXPECT_NE(nullptr, fits);
    release_block(fits);
    EXPECT_TRUE(HeapValidate(small, 0, nullptr));
    HeapDestroy(small);
}

namespace {
constexpr UINT kAllocateNow = WM_APP + 1;

INT_PTR CALLBACK allocating_dialog(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        g_setup.wizard_window = window;
        PostMessageA(window, kAllocateNow, 0, 0);
        return 1;
    }
    if (message == kAllocateNow) {
        EXPECT_EQ(nullptr, alloc_or_report(0x40000));
        return 1;
    }
    return 0;
}
}  // namespace

TEST_F(Helpers, AnExhaustedHeapEndsTheWizardWithTwo) {
    InitCommonControls();  // the template holds a list view
    HANDLE small = HeapCreate(0, 0x10000, 0x10000);
    ASSERT_NE(nullptr, small);
    g_setup.process_heap = small;
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WIZARD),
                                           nullptr, allocating_dialog, 0);
    EXPECT_EQ(2, result);
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Not enough free memory.", recorded_messages()[0].text);
    EXPECT_NE(nullptr, recorded_messages()[0].owner);
    HeapDestroy(small);
}

TEST_F(Helpers, ShowError3JoinsThreePiecesUnderError) {
    show_error3("Unable to create directory '", "Skins", "'", 16);
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Unable to create directory 'Skins'", recorded_messages()[0].text);
    EXPECT_EQ("Error", recorded_messages()[0].caption);
    EXPECT_EQ(16u, recorded_messages()[0].flags);
}

TEST_F(Helpers, ShowError3CutsAtTwoThousandCharacters) {
    const std::string name(3000, 'n');
    show_error3("Error creating file '", name.c_str(),
                "'\nPlease verify that there is enough free disk space on the target disk.", 16);
    ASSERT_EQ(1u, recorded_messages().size());
    const std::string& text = recorded_messages()[0].text;
    EXPECT_EQ(2000u, text.size());
    EXPECT_EQ(0u, text.find("Error creating file 'nnn"));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));
}

TEST_F(Helpers, ShowError3WithoutMemoryShowsOnlyTheMemoryMessage) {
    HANDLE tiny = HeapCreate(0, 0x10000, 0x10000);
    ASSERT_NE(nullptr, tiny);
    // Fill it, so that not even the message block fits.
    for (unsigned size = 0x8000; size >= 16; size /= 2) {
        while (HeapAlloc(tiny, 0, size) != nullptr) {
        }
    }
    g_setup.process_heap = tiny;
    show_error3("a", "b", "c", 16);
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("Not enough free memory.", recorded_messages()[0].text);
    HeapDestroy(tiny);
}

namespace {
int g_dispatched = 0;
LRESULT CALLBACK counting_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) {
        ++g_dispatched;
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
}  // namespace

TEST_F(Helpers, PumpDispatchesWhatWaitsAndNeverWaits) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = counting_window;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "TonvaroPumpTest";
    ASSERT_NE(0, RegisterClassA(&cls));
    HWND window = CreateWindowA("TonvaroPumpTest", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                cls.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    g_dispatched = 0;
    for (int i = 0; i < 3; ++i) PostMessageA(window, WM_APP, 0, 0);
    pump_pending_messages();
    EXPECT_EQ(3, g_dispatched);
    pump_pending_messages();  // an empty queue: it must return, not wait
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
    DestroyWindow(window);
}
