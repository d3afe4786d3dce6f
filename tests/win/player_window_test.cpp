#include "install/player_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/win/fixtures/player/player_process.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

const char kStillRunning[] =
    "The setup program has detected that Quenvale Tonvaro is currently running on your "
    "system, which will prevent the reinstallation from succeeding. All attempts to close the "
    "running player instance have failed, though.\n\nPlease close all currently running "
    "instances of Quenvale Tonvaro and run the installation program again. If you do not see "
    "any running instances of the player please reboot your system and then try again.";

// The signature as the player's own documentation gives it, byte for byte,
// so that a slip in the table under test does not go unnoticed.
const unsigned char kSignatureBytes[16] = {0xA5, 0xF2, 0x9B, 0x51, 0x70, 0x29, 0x13, 0x44,
                                           0xB6, 0xE0, 0x19, 0x2E, 0xD9, 0xFF, 0xD6, 0x69};

// A hidden top-level window of this process whose class has `extra` bytes,
// holding `bytes` from offset 0 on.
class ExtraBytesWindow {
public:
    ExtraBytesWindow(int extra, const std::vector<unsigned char>& bytes) {
        const std::string name = "TonvaroExtraBytes" + std::to_string(extra);
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.cbWndExtra = extra;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = name.c_str();
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, name.c_str(), "test window", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        const int count = static_cast<int>(bytes.size());
        for (int offset = 0; offset < count; offset += 4) {
            // The last piece overlaps the one before when count is no
            // multiple of four: extra bytes have no smaller setter.
            const int at = std::min(offset, count - 4);
            LONG value = 0;
            for (int b = 3; b >= 0; --b) value = (value << 8) | bytes[at + b];
            SetWindowLongA(window_, at, value);
        }
    }
    ~ExtraBytesWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_;
};

std::vector<unsigned char> signature_then(std::vector<unsigned char> tail) {
    std::vector<unsigned char> bytes(kSignatureBytes, kSignatureBytes + 16);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

int count_lines(const std::vector<std::string>& lines, const std::string& wanted) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), wanted));
}

}  // namespace

class FindPlayerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        // A player left over from elsewhere would be found first.
        ASSERT_EQ(nullptr, find_player_window(nullptr));
    }
};

TEST_F(FindPlayerWindow, SixteenExtraBytesHoldingTheSignatureAreAPlayer) {
    ExtraBytesWindow window(16, signature_then({}));
    ASSERT_NE(nullptr, window.get());
    EXPECT_EQ(window.get(), find_player_window(nullptr));
}

TEST_F(FindPlayerWindow, MoreExtraBytesWhoseFirstSixteenMatchAreAPlayer) {
    ExtraBytesWindow window(20, signature_then({0x01, 0x02, 0x03, 0x04}));
    ASSERT_NE(nullptr, window.get());
    EXPECT_EQ(window.get(), find_player_window(nullptr));
}

TEST_F(FindPlayerWindow, FifteenExtraBytesArePassedOverUnread) {
    std::vector<unsigned char> first15(kSignatureBytes, kSignatureBytes + 15);
    ExtraBytesWindow window(15, first15);
    ASSERT_NE(nullptr, window.get());
    // Reading offset 12 of this window is the one read here that the
    // platform refuses, with ERROR_INVALID_INDEX.
    SetLastError(0);
    EXPECT_EQ(nullptr, find_player_window(nullptr));
    EXPECT_NE(static_cast<DWORD>(ERROR_INVALID_INDEX), GetLastError());
}

TEST_F(FindPlayerWindow, AnyOneByteThatDiffersIsNoPlayer) {
    for (int i = 0; i < 16; ++i) {
        std::vector<unsigned char> bytes = signature_then({});
        bytes[i] ^= 0x80;
        ExtraBytesWindow window(16, bytes);
        ASSERT_NE(nullptr, window.get());
        EXPECT_EQ(nullptr, find_player_window(nullptr)) << "byte " << i << " differs";
    }
}

TEST_F(FindPlayerWindow, TheSearchGoesOnBelowTheWindowGiven) {
    ExtraBytesWindow unsigned_window(16, std::vector<unsigned char>(16, 0));
    ExtraBytesWindow first(16, signature_then({}));
    ExtraBytesWindow between(4, {0xA5, 0xF2, 0x9B, 0x51});
    ExtraBytesWindow second(24, signature_then({0, 0, 0, 0, 0, 0, 0, 0}));
    const HWND a = find_player_window(nullptr);
    ASSERT_NE(nullptr, a);
    const HWND b = find_player_window(a);
    ASSERT_NE(nullptr, b);
    EXPECT_NE(a, b);
    EXPECT_TRUE((a == first.get() && b == second.get()) || (a == second.get() && b == first.get()));
    EXPECT_EQ(nullptr, find_player_window(b));
}

class CloseRunningPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        ASSERT_EQ(nullptr, find_player_window(nullptr));
    }
};

TEST_F(CloseRunningPlayer, WithoutAPlayerItAnswersAtOnceAndSaysNothing) {
    const DWORD begin = GetTickCount();
    EXPECT_EQ(1, close_running_player());
    // The first look comes only after a sleep of 500 ms.
    EXPECT_LT(GetTickCount() - begin, 400u);
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(CloseRunningPlayer, APlayerIsAskedOnceToQuitAndIsGone) {
    PlayerProcess player;
    ASSERT_TRUE(player.start(""));
    ASSERT_EQ(player.main_window(), find_player_window(nullptr));
    EXPECT_EQ(1, close_running_player());
    EXPECT_TRUE(player.ended_within(5000));
    EXPECT_EQ(nullptr, find_player_window(nullptr));
    EXPECT_EQ(1, count_lines(player.report(), "quit"));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(CloseRunningPlayer, TwoPlayersBothGetWmQuit) {
    PlayerProcess one;
    PlayerProcess two;
    ASSERT_TRUE(one.start("-l \"C:\\lists\\one.p4u\""));
    ASSERT_TRUE(two.start("-i \"C:\\skins\\two.s4u\""));
    EXPECT_EQ(1, close_running_player());
    EXPECT_TRUE(one.ended_within(5000));
    EXPECT_TRUE(two.ended_within(5000));
    EXPECT_EQ(1, count_lines(one.report(), "quit"));
    EXPECT_EQ(1, count_lines(two.report(), "quit"));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(CloseRunningPlayer, ASlowPlayerIsWaitedForOverSeveralLooks) {
    // Its window stays for 3 s after WM_QUIT: gone only at about the
    // sixth look, well inside the ten.
    PlayerProcess player;
    ASSERT_TRUE(player.start("--linger=3000"));
    const DWORD begin = GetTickCount();
    EXPECT_EQ(1, close_running_player());
    EXPECT_GE(GetTickCount() - begin, 2900u);
    EXPECT_TRUE(player.ended_within(5000));
    EXPECT_EQ(1, count_lines(player.report(), "quit"));
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(CloseRunningPlayer, APlayerThatStaysGetsOneQuitAndTheMessageAfterTheWait) {
    PlayerProcess player;
    ASSERT_TRUE(player.start("--ignore-quit"));
    const DWORD begin = GetTickCount();
    EXPECT_EQ(0, close_running_player());
    EXPECT_GE(GetTickCount() - begin, 4500u);
    EXPECT_FALSE(player.ended_within(0));
    EXPECT_EQ(player.main_window(), find_player_window(nullptr));
    // No second WM_QUIT while waiting.
    EXPECT_EQ(1, count_lines(player.report(), "quit-ignored"));
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ(kStillRunning, recorded_messages()[0].text);
    EXPECT_EQ("Error", recorded_messages()[0].caption);
    EXPECT_EQ(48u, recorded_messages()[0].flags);
}

TEST_F(CloseRunningPlayer, APlayerThatStaysIsNotCountedGoneBecauseAnotherLeft) {
    PlayerProcess stays;
    PlayerProcess leaves;
    ASSERT_TRUE(stays.start("--ignore-quit"));
    ASSERT_TRUE(leaves.start(""));
    EXPECT_EQ(0, close_running_player());
    EXPECT_TRUE(leaves.ended_within(0));
    EXPECT_FALSE(stays.ended_within(0));
    EXPECT_EQ(1, count_lines(stays.report(), "quit-ignored"));
    EXPECT_EQ(1u, recorded_messages().size());
}
