#pragma once
// Heap blocks that report their own failure.

// A block of n bytes from the process heap, or null after "Not enough free
// memory." (which also ends the wizard, when there is one).
void* alloc_or_report(unsigned n);
void release_block(void* block);
