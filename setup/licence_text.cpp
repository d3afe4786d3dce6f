#include "setup/licence_text.h"

#include <windows.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "licence_size.h"
#include "payload/inflate_entry.h"
#include "setup/ids.h"

namespace {

constexpr const char* kLicenceDamaged = "The license agreement could not be read.";

struct Filling {
    char* text;
    unsigned used;
};

// Takes the inflated text; more than the agreement's length is damage.
int take_piece(void* context, const unsigned char* bytes, unsigned count) {
    Filling* filling = static_cast<Filling*>(context);
    if (count > TONVARO_LICENCE_LENGTH - filling->used) return 0;
    for (unsigned i = 0; i < count; ++i) {
        filling->text[filling->used++] = static_cast<char>(bytes[i]);
    }
    return 1;
}

void* zlib_alloc(void*, unsigned items, unsigned size) {
    if (size != 0 && items > 0xFFFFFFFFu / size) return nullptr;
    return alloc_or_report(items * size);
}

void zlib_release(void*, void* block) { release_block(block); }

}  // namespace

char* load_licence_text() {
    HRSRC found = FindResourceA(g_setup.module_instance, MAKEINTRESOURCEA(IDR_LICENCE),
                                MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found != nullptr ? LoadResource(g_setup.module_instance, found) : nullptr;
    const void* stream = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (stream == nullptr) {
        show_message(kLicenceDamaged, "Error", kMessageError);
        return nullptr;
    }
    // The whole text, and a piece buffer after it for inflate to write into.
    constexpr unsigned kPiece = 4096;
    char* text = static_cast<char*>(alloc_or_report(TONVARO_LICENCE_LENGTH + 1 + kPiece));
    if (text == nullptr) return nullptr;
    Filling filling = {text, 0};
    const InflateJob job = {static_cast<const unsigned char*>(stream),
                            static_cast<unsigned>(SizeofResource(g_setup.module_instance, found)),
                            TONVARO_LICENCE_CRC,
                            reinterpret_cast<unsigned char*>(text) + TONVARO_LICENCE_LENGTH + 1,
                            kPiece,
                            take_piece,
                            &filling,
                            zlib_alloc,
                            zlib_release};
    if (inflate_entry(job) != kInflateDone || filling.used != TONVARO_LICENCE_LENGTH) {
        show_message(kLicenceDamaged, "Error", kMessageError);
        release_block(text);
        return nullptr;
    }
    text[TONVARO_LICENCE_LENGTH] = 0;
    return text;
}
