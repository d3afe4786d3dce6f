#!/usr/bin/env python3
"""Copies a compiled help file with its two build-time stamps set to zero.

chmcmd writes the time of day into the ITSF header and into the #SYSTEM
file of the content; with both cleared, two builds of the same sources give
the same bytes, and so the same payload. #SYSTEM lies in the uncompressed
section 0, found through the directory's PMGL listing chunks.

usage: clear_chm_times.py IN.chm OUT.chm
"""

import struct
import sys

SYSTEM_TIME_CODE = 10


def encint(data, pos):
    """A CHM variable-length integer: 7 bits a byte, high bit set on all but
    the last."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def directory_entries(data, directory):
    if data[directory:directory + 4] != b"ITSP":
        raise ValueError("no ITSP directory header")
    header_length, = struct.unpack_from("<I", data, directory + 8)
    chunk_size, = struct.unpack_from("<I", data, directory + 0x10)
    chunks, = struct.unpack_from("<I", data, directory + 0x2C)
    first = directory + header_length
    for index in range(chunks):
        chunk = first + index * chunk_size
        if data[chunk:chunk + 4] != b"PMGL":
            continue
        free, = struct.unpack_from("<I", data, chunk + 4)
        pos, end = chunk + 20, chunk + chunk_size - free
        while pos < end:
            length, pos = encint(data, pos)
            name = bytes(data[pos:pos + length])
            pos += length
            section, pos = encint(data, pos)
            offset, pos = encint(data, pos)
            size, pos = encint(data, pos)
            yield name, section, offset, size


def clear_times(data):
    if data[:4] != b"ITSF":
        raise ValueError("not a compiled help file")
    struct.pack_into("<I", data, 0x10, 0)
    directory, = struct.unpack_from("<Q", data, 0x48)
    content, = struct.unpack_from("<Q", data, 0x58)
    for name, section, offset, size in directory_entries(data, directory):
        if name != b"/#SYSTEM" or section != 0:
            continue
        pos, end = content + offset + 4, content + offset + size
        while pos + 4 <= end:
            code, length = struct.unpack_from("<HH", data, pos)
            if code == SYSTEM_TIME_CODE and length == 4:
                struct.pack_into("<I", data, pos + 4, 0)
                return
            pos += 4 + length
    raise ValueError("no time record in #SYSTEM")


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        data = bytearray(f.read())
    clear_times(data)
    with open(argv[2], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
