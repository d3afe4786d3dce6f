#!/usr/bin/env python3
"""Compresses the licence agreement for the setup program's resources.

    make_licence.py LICENCE.TXT OUT_DIR

writes OUT_DIR/licence.z (a zlib stream of the text with CR LF line breaks,
no final one, as the multi-line edit control shows it) and
OUT_DIR/licence_size.h (its length and CRC-32, which the program checks after
inflating). Stored compressed, the 8 KB text costs a third of that; the
setup program carries the inflate routine anyway. Standard library only, and
no time stamps: the same text gives the same files.
"""
import os
import sys
import zlib

LENGTH = 8252  # the agreement's length; rewording must not change it unnoticed


def main() -> int:
    source, out_dir = sys.argv[1], sys.argv[2]
    text = open(source, "rb").read()
    if b"\r" in text or not text.endswith(b"\n"):
        print(f"{source}: expected LF line breaks and a final one", file=sys.stderr)
        return 1
    text = text[:-1].replace(b"\n", b"\r\n")
    if len(text) != LENGTH:
        print(f"{source}: the agreement is {len(text)} characters long, not {LENGTH}",
              file=sys.stderr)
        return 1
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "licence.z"), "wb") as f:
        f.write(zlib.compress(text, 9))
    with open(os.path.join(out_dir, "licence_size.h"), "w") as f:
        f.write("// Made by tools/make_licence.py from setup/licence.txt.\n#pragma once\n")
        f.write(f"#define TONVARO_LICENCE_LENGTH {len(text)}u\n")
        f.write(f"#define TONVARO_LICENCE_CRC 0x{zlib.crc32(text) & 0xFFFFFFFF:08X}u\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
