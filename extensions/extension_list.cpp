#include "extensions/extension_list.h"

#include <commctrl.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/system_dlls.h"
#include "common/text.h"
#include "extensions/add_on_rules.h"
#include "extensions/item_text.h"
#include "setup/ids.h"

// A row's block: the chain link, then the row's text block (installer path,
// terminator, description, terminator, terminator). The row's lParam points
// at the text, so the list never sees the link.
struct ExtensionItemBlock {
    ExtensionItemBlock* next;
};

namespace {

constexpr int kUnticked = 0;
constexpr int kTicked = 1;
constexpr int kListImageSize = 16;
constexpr UINT kListImageFlags = ILC_COLOR16 | ILC_MASK;  // 0x11
constexpr int kListImageGrowth = 2;

ExtensionItemBlock* block_of(const char* text) {
    return reinterpret_cast<ExtensionItemBlock*>(const_cast<char*>(text)) - 1;
}

char* text_of(ExtensionItemBlock* block) { return reinterpret_cast<char*>(block + 1); }

// A new block, already chained so that shutdown finds it whatever happens
// to the row.
char* take_item_text(const char* path, const char* description) {
    ExtensionItemBlock* block = static_cast<ExtensionItemBlock*>(
        alloc_or_report(sizeof(ExtensionItemBlock) + item_text_size(path, description)));
    if (block == nullptr) return nullptr;
    block->next = g_setup.extension_blocks;
    g_setup.extension_blocks = block;
    char* text = text_of(block);
    compose_item_text(text, path, description);
    return text;
}

void release_item_text(const char* text) {
    ExtensionItemBlock* block = block_of(text);
    ExtensionItemBlock** link = &g_setup.extension_blocks;
    while (*link != nullptr && *link != block) link = &(*link)->next;
    if (*link == nullptr) return;  // not one of ours: never release it
    *link = block->next;
    release_block(block);
}

// The row's image and text block; 0 when the list has no such row, so that
// nothing read from an unfilled record is ever used.
int read_row(int row, int* image, const char** text) {
    LVITEMA item;
    item.mask = LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    item.iSubItem = 0;
    item.iImage = kUnticked;
    item.lParam = 0;
    if (!SendMessageA(g_setup.extension_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        return 0;
    }
    *image = item.iImage;
    *text = reinterpret_cast<const char*>(item.lParam);
    return 1;
}

// The row's title into buffer (kPathBufferSize bytes); null when the row
// cannot be read. The list may answer with its own copy instead.
const char* read_row_title(int row, char* buffer) {
    LVITEMA item;
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = kPathCapacity;
    buffer[0] = 0;
    if (!SendMessageA(g_setup.extension_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        return nullptr;
    }
    return item.pszText != nullptr ? item.pszText : buffer;
}

DuplicateOutcome decide_duplicate(const char* added_path, const char* listed_path) {
    FileVersionAnswer added = {0, 0, 0};
    FileVersionAnswer listed = {0, 0, 0};
    added.found = read_file_version(added_path, &added.most_significant, &added.least_significant);
    listed.found =
        read_file_version(listed_path, &listed.most_significant, &listed.least_significant);
    DuplicateOutcome outcome = decide_by_version(added, listed);
    if (outcome != kCompareCreationTimes) return outcome;
    FILETIME added_time;
    FILETIME listed_time;
    const int added_read = read_creation_time(added_path, &added_time);
    const int listed_read = added_read && read_creation_time(listed_path, &listed_time);
    const long comparison = listed_read ? CompareFileTime(&added_time, &listed_time) : 0;
    return decide_by_creation_time(added_read, listed_read, comparison);
}

void insert_row(char* title, const char* description, const char* path) {
    char* text = take_item_text(path, description);
    if (text == nullptr) return;
    LVITEMA item;
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = g_setup.extension_count;
    item.iSubItem = 0;
    item.pszText = title;
    item.iImage = kTicked;
    item.lParam = reinterpret_cast<LPARAM>(text);
    if (SendMessageA(g_setup.extension_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) ==
        -1) {
        release_item_text(text);
        return;
    }
    ++g_setup.extension_count;
}

// Deletes the row before its block is released, so that a row the list
// refuses to delete never keeps a pointer to a released block.
int remove_row(int row, const char* text) {
    if (!SendMessageA(g_setup.extension_list, LVM_DELETEITEM, row, 0)) return 0;
    if (text != nullptr) release_item_text(text);
    --g_setup.extension_count;
    return 1;
}

}  // namespace

void prepare_extension_list() {
    HIMAGELIST images = system_dll::ImageList_Create(kListImageSize, kListImageSize,
                                                     kListImageFlags, 0, kListImageGrowth);
    if (images != nullptr) {
        // -1 appends, as ImageList_AddIcon does.
        system_dll::ImageList_ReplaceIcon(
            images, -1, LoadIconA(g_setup.module_instance, MAKEINTRESOURCEA(IDI_BOX_EMPTY)));
        system_dll::ImageList_ReplaceIcon(
            images, -1, LoadIconA(g_setup.module_instance, MAKEINTRESOURCEA(IDI_BOX_TICKED)));
        SendMessageA(g_setup.extension_list, LVM_SETIMAGELIST, LVSIL_SMALL,
                     reinterpret_cast<LPARAM>(images));
    }
    RECT client = {0, 0, 0, 0};
    GetClientRect(g_setup.extension_list, &client);
    LVCOLUMNA column;
    column.mask = LVCF_FMT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = client.right - client.left;
    SendMessageA(g_setup.extension_list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    discover_extensions();
}

void add_or_replace_extension(const char* title, const char* description, const char* path) {
    char* trimmed = static_cast<char*>(alloc_or_report(text_length(title) + 1));
    char* buffer = static_cast<char*>(alloc_or_report(kPathBufferSize));
    if (trimmed != nullptr && buffer != nullptr) {
        copy_text(trimmed, title);
        trim_trailing_blanks(trimmed);
        int insert = 1;
        const int rows =
            static_cast<int>(SendMessageA(g_setup.extension_list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            const char* listed_title = read_row_title(row, buffer);
            if (listed_title == nullptr || !equals_ignore_case_n(trimmed, listed_title, kWholeText)) {
                continue;
            }
            int image = 0;
            const char* listed = nullptr;
            if (!read_row(row, &image, &listed) || listed == nullptr) {
                insert = 0;  // a row without a block cannot be compared
            } else if (decide_duplicate(path, listed) != kReplaceListed) {
                insert = 0;
            } else {
                insert = remove_row(row, listed);
            }
            break;
        }
        if (insert) insert_row(trimmed, description, path);
    }
    if (trimmed != nullptr) release_block(trimmed);
    if (buffer != nullptr) release_block(buffer);
}

int has_extension_title(const char* title) {
    char* buffer = static_cast<char*>(alloc_or_report(kPathBufferSize));
    if (buffer == nullptr) return 0;
    int found = 0;
    for (int row = 0; row < g_setup.extension_count && !found; ++row) {
        const char* listed_title = read_row_title(row, buffer);
        found = listed_title != nullptr && equals_ignore_case_n(title, listed_title, kWholeText);
    }
    release_block(buffer);
    return found;
}

void handle_extension_click(const NMHDR* notification) {
    const NMITEMACTIVATE* click = reinterpret_cast<const NMITEMACTIVATE*>(notification);
    if (notification->code != static_cast<UINT>(NM_CLICK) || click->iSubItem != 0) return;
    LVHITTESTINFO hit;
    hit.pt = click->ptAction;
    hit.flags = 0;
    hit.iItem = -1;
    const int row = static_cast<int>(
        SendMessageA(g_setup.extension_list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || (hit.flags & LVHT_ONITEMICON) == 0) return;
    LVITEMA item;
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iSubItem = 0;
    if (!SendMessageA(g_setup.extension_list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        return;
    }
    // 1 becomes 0 and 0 becomes 1.
    item.iImage = (item.iImage - 1) & 1;
    SendMessageA(g_setup.extension_list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void handle_extension_selection(const NMHDR* notification) {
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(notification);
    if (notification->code != static_cast<UINT>(LVN_ITEMCHANGING)) return;
    if ((change->uChanged & LVIF_STATE) == 0 || (change->uNewState & LVIS_SELECTED) == 0) return;
    int image = 0;
    const char* text = nullptr;
    if (!read_row(change->iItem, &image, &text) || text == nullptr) return;
    SetWindowTextA(g_setup.description_field, item_description(text));
}

const char* extension_installer_path(int row, int* ticked) {
    int image = 0;
    const char* text = nullptr;
    if (!read_row(row, &image, &text)) return nullptr;
    if (ticked != nullptr) *ticked = image == kTicked;
    return text;
}

void release_extension_items() {
    ExtensionItemBlock* block = g_setup.extension_blocks;
    while (block != nullptr) {
        ExtensionItemBlock* next = block->next;
        release_block(block);
        block = next;
    }
    g_setup.extension_blocks = nullptr;
    g_setup.extension_count = 0;
}
