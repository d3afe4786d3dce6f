#pragma once
// Writes the extracted entries' files on a thread of its own, so that the
// caller inflates the next piece while the last one is written and its CRC
// taken. Entries and their pieces are written in the order given; after the
// first failure no later entry is created or written, and the failing
// entry's file is removed.

#include <cstddef>
#include <cstdio>

#include "payload/format.h"

struct EntryWriter;

// Files go below the directory `root` (a descriptor the caller keeps open);
// only the writer's thread reports on `err` until the writer is finished.
EntryWriter* start_entry_writer(int root, FILE* err);

// Answers 0 once the writer has failed: the caller stops there.
int begin_entry_file(EntryWriter* writer, const PayloadEntry* entry);
// The caller inflates straight into the writer's buffers: room for the
// entry's next bytes, or null once the writer has failed; then how many of
// them it made.
unsigned char* entry_buffer(EntryWriter* writer, size_t* room);
void entry_bytes_made(EntryWriter* writer, size_t count);
// `complete` 1: the stream ended, and the writer compares the content CRC it
// took while writing; 0 removes the file, whose content is damaged or cut short.
void end_entry_file(EntryWriter* writer, int complete);

// Waits for every queued write and frees the writer. Answers kExitSuccess,
// or kExitDamaged when a file could not be made or written or its CRC
// differed (reported).
int finish_entry_writer(EntryWriter* writer);
