#include "payload/inflate_entry.h"

#include <zlib.h>

#include "common/profile.h"

InflateOutcome inflate_entry(const InflateJob& job) {
    z_stream stream;
    stream.next_in = const_cast<Bytef*>(job.data);
    stream.avail_in = job.length;
    stream.zalloc = reinterpret_cast<alloc_func>(job.alloc);
    stream.zfree = reinterpret_cast<free_func>(job.release);
    stream.opaque = Z_NULL;
    if (inflateInit(&stream) != Z_OK) return kInflateInitFailed;

    unsigned long crc = crc32(0L, Z_NULL, 0);
    InflateOutcome outcome = kInflateDone;
    for (;;) {
        stream.next_out = job.buffer;
        stream.avail_out = job.buffer_size;
        int r;
        {
            PROFILE_SPAN(kProfileInflate);
            r = inflate(&stream, Z_NO_FLUSH);
        }
        if (r != Z_OK && r != Z_STREAM_END) {
            // Z_BUF_ERROR included: a stream cut short makes no more progress.
            outcome = kInflateDataDamaged;
            break;
        }
        const unsigned k = job.buffer_size - stream.avail_out;
        if (k != 0) {
            {
                PROFILE_SPAN(kProfileCrc);
                crc = crc32(crc, job.buffer, k);
            }
            if (!job.sink(job.sink_context, job.buffer, k)) {
                outcome = kInflateSinkFailed;
                break;
            }
        }
        if (r == Z_STREAM_END) break;
    }
    inflateEnd(&stream);
    if (outcome == kInflateDone && static_cast<unsigned>(crc) != job.expected_crc) {
        outcome = kInflateCrcMismatch;
    }
    return outcome;
}
