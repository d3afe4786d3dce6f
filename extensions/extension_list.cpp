#include "extensions/extension_list.h"

#include "common/globals.h"
#include "common/memory.h"

// A row's block: the chain link, then the installer's path, a terminator,
// the description, a terminator and one more terminator.
struct ExtensionItemBlock {
    ExtensionItemBlock* next;
};

void release_extension_items() {
    ExtensionItemBlock* block = g_setup.extension_blocks;
    while (block != nullptr) {
        ExtensionItemBlock* next = block->next;
        release_block(block);
        block = next;
    }
    g_setup.extension_blocks = nullptr;
}
