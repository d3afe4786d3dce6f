#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/globals.h"
#include "common/memory.h"
#include "common/text.h"
#include "extensions/extension_list.h"
#include "tests/win/fixtures/extensions/list_dialog.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

namespace {

// Exported by comctl32 but missing from mingw-w64's headers and from its
// i686 import library: looked up at run time.
DWORD image_list_flags(HIMAGELIST images) {
    using GetFlags = DWORD(WINAPI*)(HIMAGELIST);
    const auto get_flags = reinterpret_cast<GetFlags>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("comctl32.dll"), "ImageList_GetFlags")));
    return get_flags ? get_flags(images) : 0xFFFFFFFFu;
}

std::string fixture(const char* name) {
    return windows_path(TONVARO_EXTENSION_FIXTURES) + "\\" + name + ".exe";
}

// A copy of a fixture whose last-write time (and so, under Wine, its
// creation time) is `minutes` after a fixed moment.
std::string timed_copy(const std::string& directory, const char* fixture_name, const char* name,
                       int minutes) {
    const std::string path = directory + "\\" + name;
    if (!CopyFileA(fixture(fixture_name).c_str(), path.c_str(), FALSE)) return std::string();
    SYSTEMTIME moment = {2004, 6, 0, 15, 12, 0, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&moment, &time);
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    ticks.QuadPart += static_cast<unsigned long long>(minutes) * 60 * 10000000;
    time.dwLowDateTime = ticks.LowPart;
    time.dwHighDateTime = ticks.HighPart;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    const BOOL set = SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    return set ? path : std::string();
}

struct Row {
    int image;
    std::string title;
    std::string path;
    std::string description;
};

std::vector<Row> rows() {
    std::vector<Row> out;
    const int count = static_cast<int>(SendMessageA(g_setup.extension_list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char title[kPathBufferSize] = "";
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = i;
        item.pszText = title;
        item.cchTextMax = kPathCapacity;
        if (!SendMessageA(g_setup.extension_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
            ADD_FAILURE() << "row " << i << " cannot be read";
            continue;
        }
        const char* text = reinterpret_cast<const char*>(item.lParam);
        out.push_back({item.iImage, item.pszText, text, text + text_length(text) + 1});
    }
    return out;
}

int busy_blocks(HANDLE heap) {
    int busy = 0;
    PROCESS_HEAP_ENTRY entry;
    entry.lpData = nullptr;
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    }
    return busy;
}

std::string window_text(HWND window) {
    char text[kPathBufferSize] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

}  // namespace

// The wizard's list, prepared as the wizard prepares it, emptied of anything
// found beside the test program; every block the setup code takes comes
// from a heap of the test's own, so that the release can be counted.
class ExtensionList : public ::testing::Test {
protected:
    void SetUp() override {
        reset_setup_globals();
        heap_ = HeapCreate(0, 0, 0);
        ASSERT_NE(nullptr, heap_);
        g_setup.process_heap = heap_;
        g_setup.ModulePath = static_cast<char*>(alloc_or_report(kPathBufferSize));
        ASSERT_NE(nullptr, open_extension_dialog());
        prepare_extension_list();
        SendMessageA(g_setup.extension_list, LVM_DELETEALLITEMS, 0, 0);
        release_extension_items();
        directory_ = make_scratch_directory("extensions");
    }

    void TearDown() override {
        close_extension_dialog();
        release_extension_items();
        release_block(g_setup.ModulePath);
        // Every row's block was released, each exactly once.
        EXPECT_EQ(0, busy_blocks(heap_));
        EXPECT_TRUE(HeapValidate(heap_, 0, nullptr));
        HeapDestroy(heap_);
        g_setup.process_heap = GetProcessHeap();
    }

    RECT row_part(int row, int part) {
        RECT rect{};
        rect.left = part;
        SendMessageA(g_setup.extension_list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    // A real button press and release on the list, at the middle of a part
    // of a row (LVIR_ICON or LVIR_LABEL).
    void click(int row, int part) {
        const RECT rect = row_part(row, part);
        const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        SendMessageA(g_setup.extension_list, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageA(g_setup.extension_list, WM_LBUTTONUP, 0, point);
    }

    HANDLE heap_ = nullptr;
    std::string directory_;
};

TEST_F(ExtensionList, PreparedListHasBothBoxImagesAndOneFullWidthColumn) {
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(
        SendMessageA(g_setup.extension_list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    ASSERT_NE(nullptr, images);
    EXPECT_EQ(2, ImageList_GetImageCount(images));
    EXPECT_EQ(0x11u, image_list_flags(images));
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(images, &cx, &cy));
    EXPECT_EQ(16, cx);
    EXPECT_EQ(16, cy);
    RECT client;
    GetClientRect(g_setup.extension_list, &client);
    EXPECT_EQ(client.right - client.left,
              SendMessageA(g_setup.extension_list, LVM_GETCOLUMNWIDTH, 0, 0));
    // One column only.
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(g_setup.extension_list, LVM_GETCOLUMNA, 1,
                              reinterpret_cast<LPARAM>(&column)));
}

TEST_F(ExtensionList, NewRowsGoToTheEndTickedWithPathAndDescription) {
    add_or_replace_extension("First Add-On", "The first one.", "C:\\a\\first.exe");
    add_or_replace_extension("Second Add-On  ", "", "C:\\a\\second.exe");
    EXPECT_EQ(2, g_setup.extension_count);
    const std::vector<Row> list = rows();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(1, list[0].image);
    EXPECT_EQ("First Add-On", list[0].title);
    EXPECT_EQ("C:\\a\\first.exe", list[0].path);
    EXPECT_EQ("The first one.", list[0].description);
    EXPECT_EQ(1, list[1].image);
    EXPECT_EQ("Second Add-On", list[1].title);
    EXPECT_EQ("", list[1].description);
    int ticked = 0;
    EXPECT_STREQ("C:\\a\\second.exe", extension_installer_path(1, &ticked));
    EXPECT_EQ(1, ticked);
    EXPECT_EQ(nullptr, extension_installer_path(2, &ticked));
    EXPECT_EQ(nullptr, extension_installer_path(-1, &ticked));
}

TEST_F(ExtensionList, ClickOnTheIconFlipsTheTickAndClickOnTheTextOnlySelects) {
    add_or_replace_extension("Quenvale Tonvaro Pictavo Add-On", "Photos and slide shows.",
                             fixture("pictavo").c_str());
    add_or_replace_extension("Quenvale Tonvaro Pyrolo! Add-On", "Burns CDs.",
                             fixture("pyrolo_1_2").c_str());
    SetWindowTextA(g_setup.description_field, "");

    click(0, LVIR_ICON);
    EXPECT_EQ(0, rows()[0].image);
    EXPECT_EQ(1, rows()[1].image);
    click(0, LVIR_ICON);
    EXPECT_EQ(1, rows()[0].image);

    click(1, LVIR_LABEL);
    EXPECT_EQ(1, rows()[1].image);
    EXPECT_EQ("Burns CDs.", window_text(g_setup.description_field));
    EXPECT_EQ(LVIS_SELECTED,
              SendMessageA(g_setup.extension_list, LVM_GETITEMSTATE, 1, LVIS_SELECTED));

    click(1, LVIR_ICON);
    EXPECT_EQ(0, rows()[1].image);
    click(0, LVIR_LABEL);
    EXPECT_EQ("Photos and slide shows.", window_text(g_setup.description_field));
    EXPECT_EQ(1, rows()[0].image);
    EXPECT_EQ(0, rows()[1].image);
    EXPECT_TRUE(recorded_messages().empty());
}

TEST_F(ExtensionList, SelectingAfreshShowsTheDescriptionAndDeselectingDoesNot) {
    add_or_replace_extension("Alpha", "Alpha's description.", "C:\\alpha.exe");
    add_or_replace_extension("Beta", "Beta's description.", "C:\\beta.exe");
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageA(g_setup.extension_list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ("Beta's description.", window_text(g_setup.description_field));
    SetWindowTextA(g_setup.description_field, "unchanged");
    state.state = 0;
    SendMessageA(g_setup.extension_list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ("unchanged", window_text(g_setup.description_field));
    state.state = LVIS_SELECTED;
    SendMessageA(g_setup.extension_list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ("Alpha's description.", window_text(g_setup.description_field));
}

TEST_F(ExtensionList, HigherMinorVersionReplacesAndMovesToTheEndTicked) {
    add_or_replace_extension("Quenvale Tonvaro Pyrolo! Add-On", "1.2", fixture("pyrolo_1_2").c_str());
    add_or_replace_extension("Other Add-On", "other", "C:\\other.exe");
    click(0, LVIR_ICON);
    ASSERT_EQ(0, rows()[0].image);

    add_or_replace_extension("QUENVALE TONVARO PYROLO! ADD-ON   ", "1.10",
                             fixture("pyrolo_1_10").c_str());
    EXPECT_EQ(2, g_setup.extension_count);
    const std::vector<Row> list = rows();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("Other Add-On", list[0].title);
    EXPECT_EQ("QUENVALE TONVARO PYROLO! ADD-ON", list[1].title);
    EXPECT_EQ(fixture("pyrolo_1_10"), list[1].path);
    EXPECT_EQ("1.10", list[1].description);
    EXPECT_EQ(1, list[1].image);
}

TEST_F(ExtensionList, LowerVersionIsDroppedAndTheListStaysAsItWas) {
    add_or_replace_extension("Quenvale Tonvaro Pyrolo! Add-On", "1.10",
                             fixture("pyrolo_1_10").c_str());
    add_or_replace_extension("Other Add-On", "other", "C:\\other.exe");
    click(0, LVIR_ICON);
    add_or_replace_extension("quenvale tonvaro pyrolo! add-on", "1.2", fixture("pyrolo_1_2").c_str());
    EXPECT_EQ(2, g_setup.extension_count);
    const std::vector<Row> list = rows();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("Quenvale Tonvaro Pyrolo! Add-On", list[0].title);
    EXPECT_EQ(fixture("pyrolo_1_10"), list[0].path);
    EXPECT_EQ(0, list[0].image);
}

TEST_F(ExtensionList, AVersionOnOneSideOnlyKeepsTheFileFoundFirst) {
    add_or_replace_extension("Same Title", "unversioned", fixture("unversioned").c_str());
    add_or_replace_extension("Same Title", "versioned", fixture("pyrolo_1_10").c_str());
    ASSERT_EQ(1u, rows().size());
    EXPECT_EQ("unversioned", rows()[0].description);

    add_or_replace_extension("Other Title", "versioned", fixture("pictavo").c_str());
    add_or_replace_extension("Other Title", "unversioned", fixture("unversioned").c_str());
    ASSERT_EQ(2u, rows().size());
    EXPECT_EQ("versioned", rows()[1].description);
    EXPECT_EQ(2, g_setup.extension_count);
}

TEST_F(ExtensionList, WithoutVersionsTheLaterCreationTimeWins) {
    const std::string early = timed_copy(directory_, "unversioned", "early.exe", 0);
    const std::string late = timed_copy(directory_, "unversioned", "late.exe", 90);
    ASSERT_FALSE(early.empty());
    ASSERT_FALSE(late.empty());

    add_or_replace_extension("Unversioned Add-On", "late", late.c_str());
    add_or_replace_extension("Unversioned Add-On", "early", early.c_str());
    ASSERT_EQ(1u, rows().size());
    EXPECT_EQ(late, rows()[0].path);

    add_or_replace_extension("Another", "early", early.c_str());
    add_or_replace_extension("Another", "late", late.c_str());
    ASSERT_EQ(2u, rows().size());
    EXPECT_EQ(late, rows()[1].path);
    EXPECT_EQ(2, g_setup.extension_count);
}

TEST_F(ExtensionList, EqualVersionsFallToCreationTimeAndEqualTimesKeepTheFirst) {
    const std::string first = timed_copy(directory_, "pictavo", "first.exe", 30);
    const std::string twin = timed_copy(directory_, "pictavo", "twin.exe", 30);
    const std::string later = timed_copy(directory_, "pictavo", "later.exe", 31);
    const std::string plain_first = timed_copy(directory_, "unversioned", "plain-first.exe", 5);
    const std::string plain_twin = timed_copy(directory_, "unversioned", "plain-twin.exe", 5);
    ASSERT_FALSE(first.empty() || twin.empty() || later.empty());
    ASSERT_FALSE(plain_first.empty() || plain_twin.empty());

    add_or_replace_extension("Pictavo", "", first.c_str());
    add_or_replace_extension("PICTAVO", "", twin.c_str());
    ASSERT_EQ(1u, rows().size());
    EXPECT_EQ(first, rows()[0].path);
    EXPECT_EQ("Pictavo", rows()[0].title);
    add_or_replace_extension("pictavo ", "", later.c_str());
    ASSERT_EQ(1u, rows().size());
    EXPECT_EQ(later, rows()[0].path);
    EXPECT_EQ("pictavo", rows()[0].title);

    add_or_replace_extension("Plain", "", plain_first.c_str());
    add_or_replace_extension("Plain", "", plain_twin.c_str());
    ASSERT_EQ(2u, rows().size());
    EXPECT_EQ(plain_first, rows()[1].path);
}

TEST_F(ExtensionList, ADuplicateOfAVanishedFileKeepsTheListedRow) {
    const std::string gone = timed_copy(directory_, "unversioned", "gone.exe", 0);
    const std::string present = timed_copy(directory_, "unversioned", "present.exe", 60);
    add_or_replace_extension("Vanishing", "", gone.c_str());
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    add_or_replace_extension("Vanishing", "", present.c_str());
    ASSERT_EQ(1u, rows().size());
    EXPECT_EQ(gone, rows()[0].path);
}

TEST_F(ExtensionList, ARowTheListRefusesIsNotCounted) {
    // An insertion index the list cannot take: the list answers -1.
    g_setup.extension_count = -1;
    add_or_replace_extension("Refused", "", "C:\\refused.exe");
    EXPECT_EQ(-1, g_setup.extension_count);
    EXPECT_EQ(0, SendMessageA(g_setup.extension_list, LVM_GETITEMCOUNT, 0, 0));
    // The block taken for it is already released.
    EXPECT_EQ(nullptr, g_setup.extension_blocks);
    g_setup.extension_count = 0;
}

TEST_F(ExtensionList, TitleLookupIgnoresCaseButNotTheRestOfTheText) {
    EXPECT_EQ(0, has_extension_title("Quenvale Tonvaro Pictavo Add-On"));
    add_or_replace_extension("Quenvale Tonvaro Pictavo Add-On", "", "C:\\p.exe");
    add_or_replace_extension("Quenvale Pyrolo! AudioCD Add-On", "", "C:\\a.exe");
    EXPECT_EQ(1, has_extension_title("quenvale tonvaro pictavo add-on"));
    EXPECT_EQ(1, has_extension_title("QUENVALE PYROLO! AUDIOCD ADD-ON"));
    EXPECT_EQ(0, has_extension_title("Quenvale Tonvaro Pictavo"));
    EXPECT_EQ(0, has_extension_title("Quenvale Tonvaro Pictavo Add-On!"));
    EXPECT_EQ(0, has_extension_title("Quenvale Tonvaro Pyrolo! Add-On"));
}

TEST_F(ExtensionList, EveryTranslationIsExaminedAndItsDuplicatesFold) {
    examine_candidate(fixture("audio_cd").c_str());
    const std::vector<Row> list = rows();
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ("Quenvale Pyrolo! AudioCD Add-On", list[0].title);
    EXPECT_EQ("Brennt Audio-CDs.", list[0].description);
    EXPECT_EQ(fixture("audio_cd"), list[0].path);
    EXPECT_EQ(1, g_setup.extension_count);
}

TEST_F(ExtensionList, OnlyAMarkerAtTheStartOfPrivateBuildCounts) {
    examine_candidate(fixture("short_marker").c_str());
    examine_candidate(fixture("no_marker").c_str());
    examine_candidate(fixture("comments_marker").c_str());
    examine_candidate(fixture("no_title").c_str());
    examine_candidate((directory_ + "\\missing.exe").c_str());
    EXPECT_EQ(0, g_setup.extension_count);
    EXPECT_EQ(0u, rows().size());

    examine_candidate(fixture("pictavo").c_str());
    examine_candidate(fixture("unversioned").c_str());
    const std::vector<Row> list = rows();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("Quenvale Tonvaro Pictavo Add-On", list[0].title);
    EXPECT_EQ("Enables you to view photos and create slide shows.", list[0].description);
    EXPECT_EQ("Unversioned Add-On", list[1].title);
    EXPECT_EQ("Has no fixed version record.", list[1].description);
    EXPECT_TRUE(recorded_messages().empty());
}

TEST(ExtensionFiles, FileVersionNeedsAWholeFixedRecord) {
    reset_setup_globals();
    unsigned ms = 0xAAAA;
    unsigned ls = 0xBBBB;
    ASSERT_EQ(1, read_file_version(fixture("pyrolo_1_10").c_str(), &ms, &ls));
    EXPECT_EQ(0x0001000Au, ms);
    EXPECT_EQ(0u, ls);
    EXPECT_EQ(0, read_file_version(fixture("unversioned").c_str(), &ms, &ls));
    EXPECT_EQ(0, read_file_version(fixture("short_fixed").c_str(), &ms, &ls));
    EXPECT_EQ(0, read_file_version("C:\\no such directory\\add-on.exe", &ms, &ls));
    EXPECT_EQ(0x0001000Au, ms);
    EXPECT_TRUE(recorded_messages().empty());
}

TEST(ExtensionFiles, CreationTimeIsReadWhileAnotherHandleWrites) {
    reset_setup_globals();
    const std::string directory = make_scratch_directory("creation");
    const std::string path = directory + "\\busy.exe";
    ASSERT_TRUE(write_file(path, "MZ"));
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    FILETIME expected;
    ASSERT_TRUE(GetFileTime(writer, &expected, nullptr, nullptr));
    FILETIME creation = {0, 0};
    EXPECT_EQ(1, read_creation_time(path.c_str(), &creation));
    EXPECT_EQ(0, CompareFileTime(&expected, &creation));
    CloseHandle(writer);
    EXPECT_EQ(0, read_creation_time((directory + "\\missing.exe").c_str(), &creation));
}
