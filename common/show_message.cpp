#include "common/globals.h"
#include "common/messages.h"

int show_message(const char* text, const char* caption, unsigned flags) {
    return MessageBoxA(g_setup.wizard_window, text, caption, flags);
}
