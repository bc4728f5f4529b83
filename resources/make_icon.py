#!/usr/bin/env python3
"""Draws the preloader's icon: an installation disc in front of a software
box, 32 x 32 pixels in the 16 standard VGA colours, and writes it as an .ico
file with one image. With --png it also writes an enlarged preview.

    make_icon.py setup.ico [--png preview.png]
"""
import math
import struct
import sys
import zlib

SIZE = 32
PALETTE = [  # the 16 colours every Windows display has
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)
CLEAR = None


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = c

    # The box, seen from the front left: front face, right side, lid.
    fx0, fx1, fy0, fy1 = 11, 26, 7, 27   # front face
    depth = 4
    for y in range(fy0, fy1 + 1):
        for x in range(fx0, fx1 + 1):
            put(x, y, BLUE)
    for i in range(1, depth + 1):          # lid, shifted up and right
        for x in range(fx0 + i, fx1 + i + 1):
            put(x, fy0 - i, CYAN if i < depth else TEAL)
        for y in range(fy0 - i, fy1 - i + 1):  # right side
            put(fx1 + i, y, NAVY)
    for x in range(fx0, fx1 + 1):          # outline
        put(x, fy0, TEAL)
        put(x, fy1, NAVY)
    for y in range(fy0, fy1 + 1):
        put(fx0, y, NAVY)
    for x in range(fx0 + depth, fx1 + depth + 1):
        put(x, fy0 - depth, NAVY)
    for i in range(depth + 1):
        put(fx0 + i, fy0 - i, NAVY)
        put(fx1 + i, fy0 - i, NAVY)
        put(fx1 + i, fy1 - i, NAVY)
    for y in range(fy0 - depth, fy1 - depth + 1):
        put(fx1 + depth, y, NAVY)
    # A yellow band across the front and a white label on it.
    for y in range(12, 15):
        for x in range(fx0 + 1, fx1):
            put(x, y, YELLOW)
    for x in range(fx0 + 2, fx1 - 1):
        put(x, 15, OLIVE)

    # The disc, in front of the box's lower left corner.
    cx, cy, r = 11.5, 20.5, 10.6
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d = math.hypot(dx, dy)
            if d > r:
                continue
            angle = math.degrees(math.atan2(dy, dx)) % 360
            if d > r - 1.0:
                c = GREY                   # rim
            elif d < 1.8:
                c = CLEAR                  # the hole
            elif d < 2.8:
                c = GREY
            elif d < 4.2:
                c = WHITE                  # the clear hub
            elif 200 <= angle < 222:
                c = WHITE                  # a light reflection
            elif 222 <= angle < 236:
                c = CYAN
            elif 236 <= angle < 248:
                c = MAGENTA
            elif 20 <= angle < 34:
                c = YELLOW
            elif 34 <= angle < 46:
                c = CYAN
            elif 46 <= angle < 56:
                c = MAGENTA
            else:
                c = SILVER
            px[y][x] = c
    # Shade the rim's lower right so the disc stands off the box.
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            if r - 1.0 < math.hypot(dx, dy) <= r and dx + dy > 4:
                px[y][x] = BLACK
    return px


def ico_bytes(px):
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):        # bitmaps are stored bottom-up
        row, mask = bytearray(), 0
        for x in range(0, SIZE, 2):
            hi = px[y][x] or 0
            lo = px[y][x + 1] or 0
            row.append((hi << 4) | lo)
        for x in range(SIZE):
            if px[y][x] is CLEAR:
                mask |= 1 << (31 - x)
        xor_rows.append(bytes(row))
        and_rows.append(struct.pack(">I", mask))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image_size = SIZE * SIZE // 2 + SIZE * SIZE // 8
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, image_size, 0, 0, 16, 0)
    image = header + palette + b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def png_bytes(px, scale=8):
    raw = bytearray()
    for y in range(SIZE * scale):
        raw.append(0)
        for x in range(SIZE * scale):
            c = px[y // scale][x // scale]
            # Transparent pixels show as a checkerboard.
            rgb = PALETTE[c] if c is not CLEAR else (
                (0xE8,) * 3 if ((x // 4) + (y // 4)) % 2 else (0xFF,) * 3)
            raw += bytes(rgb)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    ihdr = struct.pack(">IIBBBBB", SIZE * scale, SIZE * scale, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--png"):
        sys.exit(__doc__)
    px = draw()
    with open(argv[1], "wb") as f:
        f.write(ico_bytes(px))
    if len(argv) == 4:
        with open(argv[3], "wb") as f:
            f.write(png_bytes(px))


if __name__ == "__main__":
    main(sys.argv)
