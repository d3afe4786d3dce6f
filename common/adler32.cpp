// zlib's Adler-32, which inflate checks every stream against, in a few bytes
// of code: linked ahead of zlib, this one keeps the library's unrolled
// version (and adler32_combine, which nothing calls) out of the setup
// program. Same function, same results.
#include <zlib.h>

#include "common/profile.h"

extern "C" uLong ZEXPORT adler32(uLong adler, const Bytef* buf, uInt len) {
    if (buf == Z_NULL) return 1;
    PROFILE_SPAN(kProfileAdler);
    constexpr unsigned long kBase = 65521;  // the largest prime below 65536
    // The most bytes that can be summed before the second sum overflows 32
    // bits (zlib's NMAX).
    constexpr unsigned kRun = 5552;
    unsigned long a = adler & 0xFFFF;
    unsigned long b = (adler >> 16) & 0xFFFF;
    while (len != 0) {
        unsigned n = len < kRun ? len : kRun;
        len -= n;
        // Four bytes a step: counting the loop costs as much as the sums
        // (measured under Wine: 96 ms instead of 212 for 293 MiB), and
        // inflate hands over a whole piece at a time.
        for (; n >= 4; n -= 4, buf += 4) {
            a += buf[0];
            b += a;
            a += buf[1];
            b += a;
            a += buf[2];
            b += a;
            a += buf[3];
            b += a;
        }
        while (n-- != 0) {
            a += *buf++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return (b << 16) | a;
}
