#!/usr/bin/env python3
"""Writes payloads that a correct packer never produces, for the tests:
damaged (one byte of a stream changed, CRC left stale), tiny (7 bytes),
empty (the 8-byte archive of no entries) and bad-stream (the first entry's
stream damaged under a correct archive CRC, as a faulty packer could write)."""
import os
import struct
import sys
import zlib


def with_crc(body: bytes) -> bytes:
    return struct.pack("<I", zlib.crc32(body) & 0xFFFFFFFF) + body


def main() -> None:
    source, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    good = open(source, "rb").read()
    damaged = bytearray(good)
    damaged[len(damaged) // 2] ^= 0x20
    # The first entry's data: after the count, the name, its terminator and
    # the two header fields.
    bad_stream = bytearray(good)
    data = bad_stream.index(0, 8) + 9
    bad_stream[data + 2] ^= 0xFF
    variants = {
        "damaged": bytes(damaged),
        "tiny": with_crc(b"\0\0\0"),
        "empty": with_crc(struct.pack("<I", 0)),
        "bad-stream": with_crc(bytes(bad_stream[4:])),
    }
    for name, data in variants.items():
        with open(os.path.join(out_dir, name + ".bin"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
