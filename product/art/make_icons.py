#!/usr/bin/env python3
"""Writes the sample player's icons into product/player/icons/.

The shell and the file-type registration address the player's icons by
index, and an index is the position of an icon group in resource order, so
the order of ICONS below is fixed: 0 the player, 5 playlist documents,
6 skin documents; the others fill the places between.

Drawing and the .ico format come from tools/make_art.py, so the product
shares the setup program's palette. No clock, no randomness: a second run
writes identical files.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# Leaves no byte-code cache behind in tools/.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(ROOT, "tools"))

import make_art as art  # noqa: E402
from make_art import (  # noqa: E402
    BLACK, BLUE, DARK_BLUE, DARK_GREY, DARK_TEAL, GREY, LIGHT_GREY, LIGHT_TEAL,
    NAVY, PALE_BLUE, PALE_TEAL, SKY_BLUE, TEAL, VERY_PALE_BLUE, WHITE)


def tile(c, k, top, bottom):
    size = c.width
    c.paint(art.rounded_rect(1 * k, 1 * k, size - 1 * k, size - 1 * k, 6 * k),
            art.flat(NAVY))
    c.paint(art.rounded_rect(2.2 * k, 2.2 * k, size - 2.2 * k, size - 2.2 * k,
                             5 * k),
            art.diagonal(top, bottom, size * 1.6),
            dither=0 if size < 32 else 32)


def sheet(c, k, paper):
    """A document page with a folded corner, the ground of document icons."""
    body = art.polygon([(6 * k, 2 * k), (20 * k, 2 * k), (27 * k, 9 * k),
                        (27 * k, 30 * k), (6 * k, 30 * k)])
    c.paint(body, art.flat(DARK_GREY))
    inner = art.polygon([(7.2 * k, 3.2 * k), (19.5 * k, 3.2 * k),
                         (25.8 * k, 9.5 * k), (25.8 * k, 28.8 * k),
                         (7.2 * k, 28.8 * k)])
    c.paint(inner, art.flat(paper))
    fold = art.polygon([(19.5 * k, 3.2 * k), (19.5 * k, 9.5 * k),
                        (25.8 * k, 9.5 * k)])
    c.paint(fold, art.flat(LIGHT_GREY))


def play_triangle(cx, cy, r):
    return art.polygon([(cx - 0.6 * r, cy - r), (cx + r, cy),
                        (cx - 0.6 * r, cy + r)])


def player(size):
    """The tile of the setup's icon with a play triangle in a ring."""
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    tile(c, k, SKY_BLUE, TEAL)
    c.paint(art.ring(16 * k, 16 * k, 10.5 * k, 8.6 * k), art.flat(WHITE))
    c.paint(play_triangle(17 * k, 16 * k, 5.5 * k), art.flat(WHITE))
    return c


def audio_file(size):
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    sheet(c, k, WHITE)
    c.paint(art.note(13 * k, 23 * k, 0.8 * k), art.flat(DARK_BLUE))
    return c


def video_file(size):
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    sheet(c, k, WHITE)
    c.paint(art.rect(9 * k, 12 * k, 24 * k, 25 * k), art.flat(DARK_TEAL))
    c.paint(play_triangle(16.8 * k, 18.5 * k, 4 * k), art.flat(WHITE))
    return c


def compact_disc(size):
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    c.paint(art.disc(16 * k, 16 * k, 14.5 * k), art.flat(GREY))
    c.paint(art.disc(16 * k, 16 * k, 13.5 * k),
            art.diagonal(PALE_BLUE, PALE_TEAL, size * 1.6),
            dither=0 if size < 32 else 24)
    c.paint(art.ring(16 * k, 16 * k, 10 * k, 9 * k), art.flat(VERY_PALE_BLUE))
    c.paint(art.disc(16 * k, 16 * k, 4.5 * k), art.flat(GREY))
    c.paint(art.disc(16 * k, 16 * k, 2.2 * k), art.flat(BLACK))
    for y in range(size):
        for x in range(size):
            if (x + 0.5 - 16 * k) ** 2 + (y + 0.5 - 16 * k) ** 2 < (2.2 * k) ** 2:
                c.opaque[y][x] = False
    return c


def plug_in(size):
    """A puzzle piece: the usual picture of something that adds on."""
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    body = art.union(art.rect(5 * k, 9 * k, 25 * k, 28 * k),
                     art.disc(15 * k, 7 * k, 4 * k),
                     art.disc(27 * k, 18.5 * k, 4 * k))
    c.paint(body, art.flat(DARK_TEAL))
    inner = art.union(art.rect(6.2 * k, 10.2 * k, 23.8 * k, 26.8 * k),
                      art.disc(15 * k, 7 * k, 2.8 * k),
                      art.disc(27 * k, 18.5 * k, 2.8 * k))
    c.paint(inner, art.vertical(LIGHT_TEAL, TEAL, 4 * k, 28 * k),
            dither=0 if size < 32 else 24)
    return c


def playlist(size):
    """A page of numbered lines with a small note: a list of tracks."""
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    sheet(c, k, WHITE)
    rows = (12, 16, 20, 24) if size >= 32 else (12, 18, 24)
    for y in rows:
        c.paint(art.rect(9 * k, y * k, 10.8 * k, (y + 1.6) * k),
                art.flat(TEAL))
        c.paint(art.rect(12.5 * k, y * k, 23.5 * k, (y + 1.6) * k),
                art.flat(BLUE))
    return c


def skin(size):
    """A page with a painter's palette: a look to put on the player."""
    c = art.Canvas(size, size, art.PALETTE[BLACK])
    k = size / 32.0
    sheet(c, k, VERY_PALE_BLUE)
    c.paint(art.ellipse(16.5 * k, 19 * k, 8.5 * k, 6.5 * k, -15),
            art.flat(DARK_BLUE))
    c.paint(art.ellipse(16.5 * k, 19 * k, 7.4 * k, 5.4 * k, -15),
            art.flat(PALE_TEAL))
    for x, y, colour in ((12.5, 17.5, BLUE), (16.5, 15.5, TEAL),
                         (20.5, 17, NAVY)):
        c.paint(art.disc(x * k, y * k, 1.5 * k), art.flat(colour))
    c.paint(art.disc(18 * k, 21.5 * k, 1.6 * k), art.flat(VERY_PALE_BLUE))
    return c


# Resource order: the position here is the icon index.
ICONS = [
    ("player.ico", player),
    ("audio.ico", audio_file),
    ("video.ico", video_file),
    ("disc.ico", compact_disc),
    ("plugin.ico", plug_in),
    ("playlist.ico", playlist),
    ("skin.ico", skin),
]


def main():
    out = os.path.join(ROOT, "product", "player", "icons")
    os.makedirs(out, exist_ok=True)
    for name, draw in ICONS:
        data = art.ico_file([draw(32), draw(16)])
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print("%-14s %6d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
