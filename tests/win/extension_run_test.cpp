#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/globals.h"
#include "extensions/extension_list.h"
#include "extensions/extension_run.h"
#include "tests/win/fixtures/extensions/list_dialog.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

constexpr const char* kProceedingText =
    "Quenvale Tonvaro has been successfully installed.\nThe installers for the add-ons you have "
    "selected will now be executed, one after another.\n\nClick OK to continue.";
constexpr const char* kInstallingAddOnsText =
    "\r\n\r\n\r\nThe Quenvale Tonvaro extensions that you have selected will now be installed."
    "\r\n\r\nPlease complete those installations to continue.";
constexpr const char* kStartErrorText =
    "Error executing extension installer.\n\nThe extension will not be installed but Quenvale "
    "Tonvaro will still work fine.";
constexpr const char* kInstallingText = "installing";

std::string window_text(HWND window) {
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

class ExtensionRun : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        ASSERT_NE(nullptr, open_extension_dialog());
        SetWindowTextA(g_setup.main_text, kInstallingText);
        directory_ = make_scratch_directory("extension-run");
    }

    void TearDown() override {
        close_extension_dialog();
        release_extension_items();
    }

    // A stand-in installer listed under `title`; `code` is its exit code,
    // optionally followed by milliseconds to wait before it ends.
    std::string add(const char* title, const char* name, const char* code) {
        const std::string path = directory_ + "\\" + name;
        EXPECT_TRUE(CopyFileA((windows_path(TONVARO_EXTENSION_FIXTURES) + "\\pictavo.exe").c_str(),
                              path.c_str(), FALSE));
        EXPECT_TRUE(write_file(path + ".code", code));
        add_or_replace_extension(title, "", path.c_str());
        return path;
    }

    void untick(int row) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = 0;
        ASSERT_TRUE(SendMessageA(g_setup.extension_list, LVM_SETITEMA, 0,
                                 reinterpret_cast<LPARAM>(&item)));
    }

    std::string log() { return read_file(directory_ + "\\add-ons.log"); }

    static std::string started(const char* name, const std::string& path) {
        return std::string(name) + "|\"" + path + "\" -ZaphioSetup\n";
    }

    std::string directory_;
};

TEST_F(ExtensionRun, TickedInstallersRunInListOrderWithTheSwitch) {
    const std::string first = add("First", "first.exe", "0");
    add("Second", "second.exe", "0");
    const std::string third = add("Third", "third.exe", "7");
    untick(1);
    run_selected_extensions();

    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ(kProceedingText, recorded_messages()[0].text);
    EXPECT_EQ("Proceeding with Add-Ons", recorded_messages()[0].caption);
    EXPECT_EQ(64u, recorded_messages()[0].flags);
    EXPECT_EQ(g_setup.wizard_window, recorded_messages()[0].owner);
    EXPECT_EQ(kInstallingAddOnsText, window_text(g_setup.main_text));
    EXPECT_EQ(started("first.exe", first) + started("third.exe", third), log());
    EXPECT_EQ(0, g_setup.reboot_needed);
}

TEST_F(ExtensionRun, OnlyHighByte42WithBit16AsksForAReboot) {
    add("Add-On", "add-on.exe", "0");
    const struct {
        const char* code;
        int reboot;
    } cases[] = {
        {"0x42000000", 0}, {"0x43010000", 0}, {"0x00010000", 0},
        {"0", 0},          {"0x42010000", 1}, {"0x42FFFFFF", 1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(write_file(directory_ + "\\add-on.exe.code", c.code));
        g_setup.reboot_needed = 0;
        run_selected_extensions();
        EXPECT_EQ(c.reboot, g_setup.reboot_needed) << c.code;
    }
    // The flag is only ever set here, never cleared.
    ASSERT_TRUE(write_file(directory_ + "\\add-on.exe.code", "0"));
    run_selected_extensions();
    EXPECT_EQ(1, g_setup.reboot_needed);
}

TEST_F(ExtensionRun, AnInstallerRemovedSinceDiscoveryIsReportedAndTheRunGoesOn) {
    const std::string gone = add("Gone", "gone.exe", "0");
    const std::string next = add("Next", "next.exe", "0x42010000");
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    run_selected_extensions();

    ASSERT_EQ(2u, recorded_messages().size());
    EXPECT_EQ(kProceedingText, recorded_messages()[0].text);
    EXPECT_EQ(kStartErrorText, recorded_messages()[1].text);
    EXPECT_EQ("Error executing extension installer", recorded_messages()[1].caption);
    EXPECT_EQ(16u, recorded_messages()[1].flags);
    EXPECT_EQ(started("next.exe", next), log());
    EXPECT_EQ(1, g_setup.reboot_needed);
}

TEST_F(ExtensionRun, NothingTickedShowsNothingAndKeepsTheText) {
    run_selected_extensions();
    EXPECT_TRUE(recorded_messages().empty());
    add("First", "first.exe", "0x42010000");
    add("Second", "second.exe", "0x42010000");
    untick(0);
    untick(1);
    run_selected_extensions();
    EXPECT_TRUE(recorded_messages().empty());
    EXPECT_EQ(kInstallingText, window_text(g_setup.main_text));
    EXPECT_EQ("", log());
    EXPECT_EQ(0, g_setup.reboot_needed);
}

TEST_F(ExtensionRun, ACountBeyondTheRowsStartsNothingMore) {
    const std::string only = add("Only", "only.exe", "0");
    g_setup.extension_count = 3;
    run_selected_extensions();
    // No start error for the rows that do not exist: nothing was started.
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ(kProceedingText, recorded_messages()[0].text);
    EXPECT_EQ(started("only.exe", only), log());
    g_setup.extension_count = 1;
}

TEST_F(ExtensionRun, TheWizardKeepsAnsweringWhileAnInstallerRuns) {
    add("Slow", "slow.exe", "0 2500");
    std::atomic<bool> answered{false};
    std::atomic<DWORD> answer_time{0};
    HWND dialog = g_setup.wizard_window;
    const DWORD start = GetTickCount();
    std::thread pinger([&] {
        Sleep(600);
        const DWORD sent = GetTickCount();
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(dialog, kPingMessage, 0, 0x1234, SMTO_NORMAL, 1000, &result) &&
            result == static_cast<DWORD_PTR>(~static_cast<LPARAM>(0x1234))) {
            answered = true;
        }
        answer_time = GetTickCount() - sent;
    });
    run_selected_extensions();
    const DWORD elapsed = GetTickCount() - start;
    pinger.join();
    EXPECT_TRUE(answered);
    EXPECT_LT(answer_time.load(), 1000u);
    // The run waited for the installer to end.
    EXPECT_GE(elapsed, 2400u);
}
