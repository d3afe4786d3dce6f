#include "common/memory.h"

#include "common/globals.h"
#include "common/messages.h"

namespace {
constexpr const char* kNoMemory = "Not enough free memory.";
constexpr const char* kNoMemoryCaption = "Memory error";
}  // namespace

void* alloc_or_report(unsigned n) {
    void* block = HeapAlloc(g_setup.process_heap, 0, n);
    if (block != nullptr) return block;
    show_message(kNoMemory, kNoMemoryCaption, kMessageError);
    if (g_setup.wizard_window != nullptr) EndDialog(g_setup.wizard_window, kWizardLeft);
    return nullptr;
}

void release_block(void* block) { HeapFree(g_setup.process_heap, 0, block); }
