#pragma once
#include "payload/format.h"

// Bytes of the output buffer that one installation run lends to every entry.
constexpr unsigned kExtractBufferSize = 10000;

// Writes `entry` to its file below DestinationDir (made current), inflating
// through `buffer` (kExtractBufferSize bytes). Answers 1 when the file was
// written and its CRC matched; 0 after the failure's message.
int extract_entry(const PayloadEntry& entry, unsigned char* buffer);
// The damaged-data message, also for an entry that would run past the end
// of the payload.
void report_damaged_data();
// Creates every directory on the way to `path` ("\" and "/" separate).
void create_directory_chain(const char* path);
