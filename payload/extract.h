#pragma once
#include "payload/format.h"

#include "common/text.h"

// Bytes of the output buffer that one installation run lends to every entry.
constexpr unsigned kExtractBufferSize = 10000;

// What one installation run lends to every entry, so that an entry pays
// only for what differs from the entry before it: the output buffer, the
// directory part of the last entry's name (every directory of it made), and
// whether DestinationDir was made current. A product of thousands of small
// files in a few folders would otherwise make each folder again per file.
struct ExtractionRun {
    unsigned char buffer[kExtractBufferSize];
    char directory[kPathBufferSize];
    int entered;
};

// A run with nothing extracted yet.
void start_extraction(ExtractionRun* run);
// Writes `entry` to its file below DestinationDir (made current), inflating
// through the run's buffer. Answers 1 when the file was written and its CRC
// matched; 0 after the failure's message.
int extract_entry(const PayloadEntry& entry, ExtractionRun* run);
// The damaged-data message, also for an entry that would run past the end
// of the payload.
void report_damaged_data();
// Creates every directory on the way to `path` ("\" and "/" separate).
void create_directory_chain(const char* path);
