#!/usr/bin/env python3
"""Writes the setup program's bitmaps and icons into setup/art/.

Standard library only, so the art can be rebuilt anywhere python3 runs.
Everything is computed from fixed numbers (no clock, no randomness), so two
runs give identical files and the checked-in art can be compared byte for
byte with a fresh run.
"""

import math
import os
import struct
import sys

# One 16-colour palette for every image: 4 bpp keeps the files small and
# still looks right on the 16-colour displays the program supports.
PALETTE = [
    (0, 0, 0),  # 0 black; also the colour under the icons' transparent mask
    (255, 255, 255),  # 1 white
    (20, 40, 90),  # 2 navy
    (30, 70, 140),  # 3 dark blue
    (45, 105, 175),  # 4 blue
    (90, 150, 210),  # 5 sky blue
    (175, 205, 235),  # 6 pale blue
    (222, 234, 246),  # 7 very pale blue
    (0, 95, 105),  # 8 dark teal
    (0, 135, 140),  # 9 teal
    (70, 180, 175),  # 10 light teal
    (170, 220, 215),  # 11 pale teal
    (222, 242, 240),  # 12 very pale teal
    (64, 64, 64),  # 13 dark grey
    (128, 128, 128),  # 14 grey
    (192, 192, 192),  # 15 light grey
]
BLACK, WHITE, NAVY, DARK_BLUE, BLUE, SKY_BLUE = 0, 1, 2, 3, 4, 5
PALE_BLUE, VERY_PALE_BLUE, DARK_TEAL, TEAL, LIGHT_TEAL = 6, 7, 8, 9, 10
PALE_TEAL, VERY_PALE_TEAL, DARK_GREY, GREY, LIGHT_GREY = 11, 12, 13, 14, 15

# Sub-samples per pixel side when shapes are anti-aliased.
SUPERSAMPLE = 4

# 4x4 ordered dither: deterministic, and it keeps the gradients from
# collapsing into two or three flat bands of the palette.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def nearest(rgb):
    best, best_d = 0, None
    for index, p in enumerate(PALETTE):
        d = sum((rgb[i] - p[i]) ** 2 for i in range(3))
        if best_d is None or d < best_d:
            best, best_d = index, d
    return best


class Canvas:
    """An RGB picture in floats plus which pixels a shape has touched."""

    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.rgb = [[tuple(background)] * width for _ in range(height)]
        self.opaque = [[False] * width for _ in range(height)]
        self.dither = [[0.0] * width for _ in range(height)]

    def paint(self, inside, colour, dither=0.0):
        """Blends colour(x, y) over every pixel in proportion to how much of
        it the predicate inside(x, y) covers."""
        n = SUPERSAMPLE
        for y in range(self.height):
            for x in range(self.width):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        if inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n):
                            hits += 1
                if hits == 0:
                    continue
                coverage = hits / (n * n)
                c = colour(x + 0.5, y + 0.5)
                self.rgb[y][x] = mix(self.rgb[y][x], c, coverage)
                if coverage >= 0.5:
                    self.opaque[y][x] = True
                    self.dither[y][x] = dither

    def put(self, x, y, index):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rgb[y][x] = PALETTE[index]
            self.opaque[y][x] = True
            self.dither[y][x] = 0.0

    def indices(self):
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                amount = self.dither[y][x]
                offset = (BAYER[y % 4][x % 4] / 16.0 - 0.5) * amount
                rgb = tuple(v + offset for v in self.rgb[y][x])
                row.append(nearest(rgb))
            rows.append(row)
        return rows


# --- shapes -----------------------------------------------------------------


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    def inside(x, y):
        d = (x - cx) ** 2 + (y - cy) ** 2
        return r_in * r_in <= d <= r_out * r_out

    return inside


def ellipse(cx, cy, rx, ry, degrees):
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y):
                if x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    result = not result
            j = i
        return result

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def flat(index):
    c = PALETTE[index]
    return lambda x, y: c


def vertical(top, bottom, y0, y1):
    a, b = PALETTE[top], PALETTE[bottom]
    return lambda x, y: mix(a, b, min(max((y - y0) / (y1 - y0), 0.0), 1.0))


def diagonal(start, end, length):
    a, b = PALETTE[start], PALETTE[end]
    return lambda x, y: mix(a, b, min(max((x + y) / length, 0.0), 1.0))


def note(x, y, scale):
    """An eighth note whose head's centre is at (x, y)."""
    s = scale
    head = ellipse(x, y, 5.2 * s, 3.6 * s, -22)
    stem = rect(x + 3.6 * s, y - 19 * s, x + 5.4 * s, y - 0.5 * s)
    flag = polygon([
        (x + 3.6 * s, y - 19 * s),
        (x + 5.4 * s, y - 19 * s),
        (x + 11.5 * s, y - 12.5 * s),
        (x + 10.5 * s, y - 7.5 * s),
        (x + 9.6 * s, y - 11 * s),
        (x + 5.4 * s, y - 14 * s),
    ])
    return union(head, stem, flag)


# --- the pictures -------------------------------------------------------------


def header_left():
    """The product mark on the white header band: a disc holding a note,
    followed by a short burst of a sound wave."""
    c = Canvas(127, 42, PALETTE[WHITE])
    c.paint(disc(21, 21, 19.5), vertical(BLUE, TEAL, 2, 40), dither=28)
    c.paint(ring(21, 21, 19.5, 18.4), flat(DARK_BLUE))
    c.paint(note(17.5, 28, 0.95), flat(WHITE))
    bars = 16
    for i in range(bars):
        x0 = 47 + i * 5
        t = i / (bars - 1)
        swing = abs(math.sin(1.9 + i * 0.95))
        envelope = math.sin(math.pi * (0.08 + 0.84 * t))
        half = 2.5 + 15.0 * envelope * (0.35 + 0.65 * swing)
        top, bottom = 21 - half, 21 + half
        shape = rounded_rect(x0, top, x0 + 3, bottom, 1.5)
        c.paint(shape, flat(BLUE if i < bars // 2 else TEAL))
    return c.indices()


# A small pixel font: capitals 7 rows high, lower case 5 rows high.
GLYPHS = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "l": ["##.", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
}
SPACE_WIDTH = 3


def text_width(text):
    widths = [SPACE_WIDTH if ch == " " else len(GLYPHS[ch][0]) for ch in text]
    return sum(widths) + len(widths) - 1


def draw_text(c, text, left, top, scale, colour, shadow):
    x = left
    for ch in text:
        if ch == " ":
            x += (SPACE_WIDTH + 1) * scale
            continue
        glyph = GLYPHS[ch]
        for row, line in enumerate(glyph):
            for col, bit in enumerate(line):
                if bit != "#":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        px = x + col * scale + dx
                        py = top + row * scale + dy
                        # A shadow never covers a letter drawn before it.
                        if not c.opaque[py + 1][px + 1]:
                            c.put(px + 1, py + 1, shadow)
                        c.put(px, py, colour)
        x += (len(glyph[0]) + 1) * scale


def header_right():
    """The product name in the pixel font, the maker's name in blue and the
    product's in teal, with a faint shadow so it does not look cut out."""
    c = Canvas(196, 21, PALETTE[WHITE])
    scale = 2
    maker, product = "Quenvale", "Tonvaro"
    width = text_width(maker + " " + product) * scale
    left = (c.width - width) // 2
    top = (c.height - 7 * scale) // 2
    draw_text(c, maker, left, top, scale, DARK_BLUE, PALE_BLUE)
    product_left = left + (text_width(maker) + 1 + SPACE_WIDTH + 1) * scale
    draw_text(c, product, product_left, top, scale, DARK_TEAL, PALE_TEAL)
    return c.indices()


def check_box(ticked):
    """A 13 x 13 check box, the size of the system's own, on a transparent
    16 x 16 ground."""
    c = Canvas(16, 16, PALETTE[BLACK])
    for y in range(1, 14):
        for x in range(1, 14):
            edge = x in (1, 13) or y in (1, 13)
            c.put(x, y, DARK_BLUE if edge else WHITE)
    if ticked:
        tick = [
            "......#",
            ".....##",
            "#...###",
            "##.###.",
            "#####..",
            ".###...",
            "..#....",
        ]
        for row, line in enumerate(tick):
            for col, bit in enumerate(line):
                if bit == "#":
                    c.put(4 + col, 4 + row, NAVY)
    return c


def application_icon(size):
    """A rounded tile running from blue to teal with a white note and arcs
    of sound. The small image is drawn rather than scaled: at 16 pixels the
    arcs and the dither only blur the note."""
    c = Canvas(size, size, PALETTE[BLACK])
    small = size < 32
    k = size / 32.0
    tile = rounded_rect(1 * k, 1 * k, size - 1 * k, size - 1 * k, 6 * k)
    inner = rounded_rect(2.2 * k, 2.2 * k, size - 2.2 * k, size - 2.2 * k,
                         5 * k)
    c.paint(tile, flat(NAVY))
    c.paint(inner, diagonal(SKY_BLUE, TEAL, size * 1.6),
            dither=0 if small else 32)
    if small:
        c.paint(note(6.2, 11.6, 0.5), flat(WHITE))
        arcs = ()
    else:
        c.paint(note(11, 23, 0.85), flat(WHITE))
        arcs = (5.5, 9.5)
    for radius in arcs:
        arc = ring(17 * k, 16 * k, (radius + 1.3) * k, radius * k)
        c.paint(lambda x, y, a=arc: a(x, y) and x - 17 * k > abs(y - 16 * k),
                flat(VERY_PALE_TEAL))
    return c


# --- file formats -------------------------------------------------------------


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def pixel_rows_4bpp(rows):
    """Bottom-up rows of 4-bit indices, each padded to a 32-bit boundary."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for i in range(0, len(row), 2):
            high = row[i]
            low = row[i + 1] if i + 1 < len(row) else 0
            line.append((high << 4) | low)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def mask_rows(mask):
    """Bottom-up 1 bpp AND mask rows: 1 where the screen shows through."""
    out = bytearray()
    for row in reversed(mask):
        line = bytearray()
        for i in range(0, len(row), 8):
            byte = 0
            for bit, transparent in enumerate(row[i:i + 8]):
                if transparent:
                    byte |= 0x80 >> bit
            line.append(byte)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size,
                       2835, 2835, 16, 0)


def bmp_file(rows):
    height, width = len(rows), len(rows[0])
    pixels = pixel_rows_4bpp(rows)
    header = info_header(width, height, len(pixels)) + palette_bytes()
    offset = 14 + len(header)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0,
                              offset)
    return file_header + header + pixels


def icon_image(canvas):
    rows = canvas.indices()
    transparent = [[not o for o in line] for line in canvas.opaque]
    # Transparent pixels are black in the colour part so that the AND/XOR
    # pair leaves the screen untouched there.
    rows = [[0 if t else v for v, t in zip(r, m)]
            for r, m in zip(rows, transparent)]
    xor = pixel_rows_4bpp(rows)
    and_mask = mask_rows(transparent)
    size = canvas.width
    # An icon's header counts the colour and mask rows together.
    header = info_header(size, size * 2, len(xor) + len(and_mask))
    return header + palette_bytes() + xor + and_mask


def ico_file(canvases):
    images = [icon_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.width, c.height, 16, 0, 1, 4,
                           len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    art = os.path.join(root, "setup", "art")
    os.makedirs(art, exist_ok=True)
    files = {
        "header-left.bmp": bmp_file(header_left()),
        "header-right.bmp": bmp_file(header_right()),
        "box-empty.ico": ico_file([check_box(False)]),
        "box-ticked.ico": ico_file([check_box(True)]),
        "setup.ico": ico_file([application_icon(32), application_icon(16)]),
    }
    for name, data in sorted(files.items()):
        with open(os.path.join(art, name), "wb") as f:
            f.write(data)
        print("%-18s %6d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
