#!/usr/bin/env python3
"""Writes payloads that a correct packer never produces, for the tests.

    payload_variants.py PAYLOAD OUT_DIR   variants of the real payload:
        damaged (one byte of a stream changed, CRC left stale), tiny (7 bytes),
        empty (the 8-byte archive of no entries) and bad-stream (the first
        entry's stream damaged under a correct archive CRC, as a faulty packer
        could write)
    payload_variants.py --hostile OUT_DIR   small archives, each with a correct
        archive CRC, whose second entry is hostile: cut-short (its stream
        ends early), past-end (its length runs past the archive's end) and
        name-* (a name that would leave the destination or name a device)

In the hostile archives the first entry, FIRST_NAME, is sound: the run has
extracted it when it meets the hostile one. Every hostile name ends in
ESCAPED_NAME, so that a test can look for it anywhere."""
import os
import struct
import sys
import zlib

FIRST_NAME = "Tonvaro-first.txt"
ESCAPED_NAME = "tonvaro-escaped.txt"
HOSTILE_NAMES = {
    "name-absolute": "\\" + ESCAPED_NAME,
    "name-parent": "Plugins\\..\\..\\" + ESCAPED_NAME,
    "name-drive": "Z:\\tmp\\" + ESCAPED_NAME,
    "name-device": "CON",
}


def with_crc(body: bytes) -> bytes:
    return struct.pack("<I", zlib.crc32(body) & 0xFFFFFFFF) + body


def entry(name: str, content: bytes, stream: bytes = None, length: int = None) -> bytes:
    stream = zlib.compress(content) if stream is None else stream
    length = len(stream) if length is None else length
    return (name.encode("ascii") + b"\0" + struct.pack("<II", zlib.crc32(content), length)
            + stream)


def archive(*entries: bytes) -> bytes:
    return with_crc(struct.pack("<I", len(entries)) + b"".join(entries))


def hostile() -> dict:
    first = entry(FIRST_NAME, b"extracted before the damaged entry\r\n")
    # Text of little repetition: its stream is long enough to cut in half.
    content = b"".join(b"%08x %s\r\n" % (i * 2654435761 & 0xFFFFFFFF, b"note" * (i % 7))
                       for i in range(2000))
    stream = zlib.compress(content)
    variants = {
        "cut-short": archive(first, entry("Notes\\cut.txt", content, stream[:len(stream) // 2])),
        "past-end": archive(first, entry("Notes\\long.txt", content, stream, len(stream) + 1)),
    }
    for variant, name in HOSTILE_NAMES.items():
        variants[variant] = archive(first, entry(name, b"must never be written\r\n"))
    return variants


def of_payload(good: bytes) -> dict:
    damaged = bytearray(good)
    damaged[len(damaged) // 2] ^= 0x20
    # The first entry's data: after the count, the name, its terminator and
    # the two header fields.
    bad_stream = bytearray(good)
    data = bad_stream.index(0, 8) + 9
    bad_stream[data + 2] ^= 0xFF
    return {
        "damaged": bytes(damaged),
        "tiny": with_crc(b"\0\0\0"),
        "empty": with_crc(struct.pack("<I", 0)),
        "bad-stream": with_crc(bytes(bad_stream[4:])),
    }


def main() -> None:
    source, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    variants = hostile() if source == "--hostile" else of_payload(open(source, "rb").read())
    for name, data in variants.items():
        with open(os.path.join(out_dir, name + ".bin"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
