#include "payload/extract.h"

#include <windows.h>

#include "common/globals.h"
#include "common/memory.h"
#include "common/messages.h"
#include "common/profile.h"
#include "common/text.h"
#include "payload/entry_name.h"
#include "payload/inflate_entry.h"

namespace {

constexpr const char* kErrorCaption = "Error";
constexpr const char* kCreateFileFirst = "Error creating file '";
constexpr const char* kCreateFileThird =
    "'\nPlease verify that there is enough free disk space on the target disk.";
constexpr const char* kInitFailed = "Unable to initialize decompressor.";
constexpr const char* kDataDamaged =
    "Error during file extraction. The compressed data contained in this archive seems to be "
    "corrupted.\n\nIf you downloaded this file try downloading it again.";
constexpr const char* kWriteFailed =
    "Error writing data to disk (disk full?).\n\nTry to free some unneeded disk space and "
    "launch setup again.";
constexpr const char* kCrcMismatch =
    "Error during file extraction (CRC error). The compressed data contained in this archive "
    "seems to be corrupted.\n\nIf you downloaded this file try downloading it again.";

void* zlib_alloc(void*, unsigned items, unsigned size) {
    // zlib never asks for this much; a wrapped product would hand it a block
    // smaller than it believes.
    if (size != 0 && items > 0xFFFFFFFFu / size) return nullptr;
    return alloc_or_report(items * size);
}

void zlib_release(void*, void* block) { release_block(block); }

int write_piece(void* context, const unsigned char* bytes, unsigned count) {
    DWORD written = 0;
    PROFILE_SPAN(kProfileWrite);
    if (!WriteFile(*static_cast<HANDLE*>(context), bytes, count, &written, nullptr)) return 0;
    return written == count ? 1 : 0;
}

// Creates each directory of the writable `text`, cutting it for a moment at
// every separator; the text is whole again afterwards.
void create_chain_in_place(char* text) {
    for (char* p = text;; p = next_character(p)) {
        const char c = *p;
        if (c == 0 || is_separator(c)) {
            *p = 0;
            CreateDirectoryA(text, nullptr);
            *p = c;
        }
        if (c == 0) break;
    }
}

// The directories before the name's last backslash (a forward slash alone
// does not split), unless they are those of the entry before, which made
// them already: a product's files come folder by folder. Answers 0 when the
// directory part does not fit a PathBuffer (reported like a file that
// cannot be created).
int create_entry_directories(const PayloadEntry& entry, ExtractionRun* run) {
    unsigned length = 0;  // up to the last backslash, itself excluded
    for (unsigned i = 0; i < entry.name_length;) {
        const unsigned char c = static_cast<unsigned char>(entry.name[i]);
        if (c == '\\') length = i;
        i += is_lead_byte(c) && i + 1 < entry.name_length ? 2 : 1;
    }
    PROFILE_SPAN(kProfileDirectories);
    if (length > kPathCapacity) return 0;
    char* const known = run->directory;
    int same = known[length] == 0;
    for (unsigned k = 0; k < length; ++k) {
        same &= known[k] == entry.name[k];
        known[k] = entry.name[k];
    }
    known[length] = 0;
    if (!same && length != 0) create_chain_in_place(known);
    return 1;
}

}  // namespace

void report_damaged_data() { show_message(kDataDamaged, kErrorCaption, kMessageError); }

void create_directory_chain(const char* path) {
    // The caller's text stays untouched: the walk cuts a copy.
    const unsigned size = text_length(path) + 1;
    char* copy = static_cast<char*>(alloc_or_report(size));
    if (copy == nullptr) return;
    copy_text(copy, path);
    create_chain_in_place(copy);
    release_block(copy);
}

void start_extraction(ExtractionRun* run) {
    run->directory[0] = 0;
    run->entered = 0;
}

int extract_entry(const PayloadEntry& entry, ExtractionRun* run) {
    // Nothing in extraction leaves DestinationDir once this run entered it.
    if (!run->entered) {
        SetCurrentDirectoryA(g_setup.DestinationDir);
        run->entered = 1;
    }

    // Names that leave DestinationDir, name a device or a stream can come
    // only from a damaged or hostile archive: nothing of them is written.
    if (check_entry_name(entry.name, entry.name_length, false) != kNameSafe) {
        report_damaged_data();
        return 0;
    }

    HANDLE file = INVALID_HANDLE_VALUE;
    if (create_entry_directories(entry, run)) {
        PROFILE_SPAN(kProfileCreateFile);
        file = CreateFileA(entry.name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        // The directories are not known to be there: the next entry makes them again.
        run->directory[0] = 0;
        show_error3(kCreateFileFirst, entry.name, kCreateFileThird, kMessageError);
        return 0;
    }

    const InflateJob job = {entry.data,    entry.compressed_length, entry.content_crc,
                            run->buffer,   kExtractBufferSize,      write_piece,
                            &file,         zlib_alloc,              zlib_release};
    const char* failure = nullptr;
    switch (inflate_entry(job)) {
        case kInflateDone: break;
        case kInflateInitFailed: failure = kInitFailed; break;
        case kInflateDataDamaged: failure = kDataDamaged; break;
        case kInflateSinkFailed: failure = kWriteFailed; break;
        case kInflateCrcMismatch: failure = kCrcMismatch; break;
    }
    if (failure != nullptr) show_message(failure, kErrorCaption, kMessageError);
    {
        PROFILE_SPAN(kProfileCloseFile);
        CloseHandle(file);
    }
    return failure == nullptr ? 1 : 0;
}
