#include "common/code_page.h"

#include <windows.h>

#include "common/text.h"

void use_system_code_page() {
    clear_lead_bytes();
    // No code page Windows runs on has a lead byte below 0x81.
    for (unsigned b = 0x81; b <= 0xFF; ++b) {
        if (IsDBCSLeadByte(static_cast<BYTE>(b))) {
            set_lead_bytes(static_cast<unsigned char>(b), static_cast<unsigned char>(b));
        }
    }
}
