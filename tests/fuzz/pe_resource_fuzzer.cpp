// Looks up the payload resource in any file, as the packer does for a setup
// executable, and then reads every byte of what it found: a lookup that
// answers a range outside the input is caught here or by the sanitizer.
#include <cstddef>
#include <cstdint>

#include "payload/format.h"
#include "payload/packer/pe_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t offset = 0, length = 0;
    if (find_pe_resource(data, size, kPayloadResourceType, kPayloadResourceId, &offset, &length)) {
        if (offset > size || length > size - offset) __builtin_trap();
        // The packer checks the archive CRC over the whole range next.
        payload_crc_matches(data + offset, length);
        if (length != 0) {
            volatile unsigned char edges = data[offset] ^ data[offset + length - 1];
            (void)edges;
        }
    }
    // A decoy type name one letter longer takes the other branch of the
    // name comparison.
    find_pe_resource(data, size, "RAWDATAS", kPayloadResourceId, &offset, &length);
    return 0;
}
