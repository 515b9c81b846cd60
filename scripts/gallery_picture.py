#!/usr/bin/env python3
"""Writes the gallery's test picture: gallery_picture.py BMP PNG.

A small landscape drawn from formulas (sky, sun, ridges, a house, a fence, grass
with a little noise), so that the gallery shows smooth gradients, hard edges and
fine detail without any picture from elsewhere. The same pixels go to a 24-bit BMP
(the command's input) and an RGB PNG (shown beside the results).
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 240, 160


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def noise(x, y):
    # A fixed hash: the same picture on every machine.
    n = (x * 374761393 + y * 668265263) & 0xFFFFFFFF
    n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((n >> 16) & 0xFF) / 255.0 - 0.5


def pixel(x, y):
    # Sky: deep blue at the top to a pale haze at the horizon, a sun with its glow.
    c = mix((40, 80, 170), (235, 215, 190), y / 95.0)
    d = math.hypot(x - 178, y - 38)
    if d < 14:
        c = (255, 248, 215)
    else:
        c = mix(c, (255, 230, 160), 0.6 * math.exp(-(d - 14) / 18.0))
    # Far ridge, bluish; near hill, green with texture.
    far = 78 + 10 * math.sin(x / 19.0) + 6 * math.sin(x / 7.3 + 1.0)
    if y > far:
        c = mix((95, 110, 150), (70, 90, 110), (y - far) / 30.0)
    near = 104 + 9 * math.sin(x / 33.0 + 2.0)
    if y > near:
        shade = 0.5 + 0.5 * math.sin(x / 5.0 + y / 3.0)
        c = mix((70, 140, 60), (30, 85, 35), (y - near) / 60.0 * 0.7 + 0.3 * shade)
    # A house: red roof, white wall, dark windows and door.
    if 40 <= x < 92 and 100 <= y < 138:
        c = (225, 220, 205)
        if (48 <= x < 60 or 72 <= x < 84) and 108 <= y < 120:
            c = (40, 50, 70)
        if 61 <= x < 71 and 118 <= y < 138:
            c = (95, 60, 35)
    roof = 100 - (26 - abs(x - 66)) * 0.75
    if 34 <= x < 98 and roof <= y < 100:
        c = mix((170, 40, 35), (110, 25, 25), (y - roof) / 20.0)
    # A fence of thin posts: detail a pixel or two wide.
    if x >= 110 and 128 <= y < 146 and (x % 6 < 2 or y in (132, 140)):
        c = (120, 85, 55)
    n = 14 * noise(x, y)
    return tuple(min(255, max(0, int(round(v + n)))) for v in c)


def rows():
    return [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]


def write_bmp(path, picture):
    stride = (WIDTH * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(picture):  # rows are stored bottom-up
        for r, g, b in row:
            data += bytes((b, g, r))
        data += bytes(stride - WIDTH * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_png(path, picture):
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in picture)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: gallery_picture.py BMP PNG")
    picture = rows()
    write_bmp(sys.argv[1], picture)
    write_png(sys.argv[2], picture)
