#!/usr/bin/python3
"""Moves the resource section of a PE file to a file offset that is a
multiple of 4096, by inserting zero bytes before it.

Windows maps an image's sections from the file whatever their offsets; Wine
maps only sections at page-aligned offsets and reads the others into private
memory. The payload lives in the resources: at an unaligned offset, Wine
reads all of it at start (about 0.4 s and the payload's size in memory for a
169 MiB payload) where it would otherwise map it. The file-alignment of the
image stays 512, so the code and data sections keep their size; only the gap
before the resources is new, and it is no part of any section.

Usage: align_resources.py FILE (rewritten in place; unchanged when aligned)."""
import struct
import sys

PAGE = 4096


def main(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"{path}: not a PE file")
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    headers = [table + 40 * i for i in range(sections)]
    rsrc = [h for h in headers if data[h:h + 8].rstrip(b"\0") == b".rsrc"]
    if len(rsrc) != 1:
        raise SystemExit(f"{path}: expected one .rsrc section")
    start = struct.unpack_from("<I", data, rsrc[0] + 20)[0]
    pad = -start % PAGE
    if pad == 0:
        return 0
    # File offsets that would follow the move: sections at or after the
    # resources, and a certificate table (a signed file must be signed again).
    for h in headers:
        offset = struct.unpack_from("<I", data, h + 20)[0]
        if offset >= start:
            struct.pack_into("<I", data, h + 20, offset + pad)
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    if struct.unpack_from("<I", data, directories + 8 * 4 + 4)[0] != 0:
        raise SystemExit(f"{path}: signed; align before signing")
    if struct.unpack_from("<I", data, pe + 12)[0] != 0:
        raise SystemExit(f"{path}: carries a symbol table")
    data[start:start] = bytes(pad)
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
