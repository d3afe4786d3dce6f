#pragma once
// Raw deflate data made in independent pieces, joined into one stream: every
// piece but the last loses its final-block flag and ends on a byte boundary,
// so that the next piece's blocks follow it. Any inflater reads the result as
// one stream, and since no piece refers back into another, its window stays
// within 32 KiB.

#include <cstddef>

// Room that open_deflate_end() may need after the piece.
constexpr size_t kDeflateJoinRoom = 5;

// `data` holds one complete raw deflate stream of `size` bytes, followed by
// kDeflateJoinRoom bytes of room. Clears the flag of its final block, and
// where that block does not end on a byte boundary appends an empty stored
// block, which does. Answers the new size, or 0 when `data` is not exactly
// one complete stream.
size_t open_deflate_end(unsigned char* data, size_t size);
