// Walks a whole payload the way the installation run does: the archive CRC,
// every counted entry bounded by the end, the name check, and each stream
// inflated through the setup's 10000-byte buffer into a sink that keeps
// nothing. Any read outside the input, any crash or any hang is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/text.h"
#include "payload/entry_name.h"
#include "payload/extract.h"
#include "payload/format.h"
#include "payload/inflate_entry.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

// A stream may inflate to gigabytes; the walk only needs to see it fail or end.
constexpr unsigned long long kOutputCap = 1u << 22;

struct Sink {
    const unsigned char* buffer;
    unsigned long long total;
};

int take_piece(void* context, const unsigned char* bytes, unsigned count) {
    Sink* sink = static_cast<Sink*>(context);
    // The pieces must come from the lent buffer and fit in it.
    if (bytes != sink->buffer || count == 0 || count > kExtractBufferSize) __builtin_trap();
    sink->total += count;
    return sink->total <= kOutputCap ? 1 : 0;
}

}  // namespace

// Most mutations would only break the archive CRC, which the setup checks
// before anything else. Seven in eight mutants get a correct CRC, so that the
// walk behind it is reached; the rest test the check itself.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size,
                                          unsigned int seed) {
    size = LLVMFuzzerMutate(data, size, max_size);
    if (size >= kPayloadMinimumSize && seed % 8 != 0) write_u32le(data, payload_crc(data, size));
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!payload_crc_matches(data, size)) return 0;
    const unsigned char* end = data + size;
    const unsigned count = read_u32le(data + 4);
    const unsigned char* position = data + kPayloadMinimumSize;

    unsigned char* buffer = static_cast<unsigned char*>(malloc(kExtractBufferSize));
    for (unsigned i = 0; i < count; ++i) {
        PayloadEntry entry;
        if (!read_entry(position, end, &entry)) break;
        // Within the bounds the unbounded step must agree with the bounded one.
        if (next_entry(position) != entry.next || entry.next > end) __builtin_trap();
        position = entry.next;
        // The setup passes over these names; the packer checks strictly.
        if (equals_ignore_case_n(entry.name, "SetupTemp", 9)) continue;
        check_entry_name(entry.name, entry.name_length, true);
        if (check_entry_name(entry.name, entry.name_length, false) != kNameSafe) break;

        Sink sink = {buffer, 0};
        const InflateJob job = {entry.data, entry.compressed_length, entry.content_crc,
                                buffer,     kExtractBufferSize,      take_piece,
                                &sink,      nullptr,                 nullptr};
        const InflateOutcome outcome = inflate_entry(job);
        // Damaged data and CRC mismatches are expected; the sink refuses only
        // past the cap, and zlib's own allocator always has the few kilobytes
        // of state.
        const bool capped = outcome == kInflateSinkFailed && sink.total > kOutputCap;
        if (outcome == kInflateInitFailed || (outcome == kInflateSinkFailed && !capped)) {
            __builtin_trap();
        }
        if (outcome != kInflateDone) break;
    }
    free(buffer);
    return 0;
}
