#include "common/messages.h"

#include "common/globals.h"
#include "common/memory.h"
#include "common/text.h"

void show_error3(const char* first, const char* second, const char* third, unsigned flags) {
    char* block = static_cast<char*>(alloc_or_report(kPathBufferSize));
    if (block == nullptr) return;
    join_texts_cut(block, block + kPathBufferSize, first, second, third);
    show_message(block, "Error", flags);
    release_block(block);
}

void pump_pending_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
