#!/usr/bin/env python3
"""Writes a test picture for the whole-run timings: make_picture.py KIND WIDTH HEIGHT PATH.

KIND is rgb24 (uncompressed 24 bits), pal8 (uncompressed 8 bits, a palette of
colours) or rle8 (8 bits, run-length encoded, grey palette). The content is a smooth gradient with a little noise, so that runs
are a few pixels long as in a scanned page.
"""
import random
import struct
import sys


def pixel_value(x, y, noise):
    return (x * 255 // max(1, WIDTH - 1) + y * 255 // max(1, HEIGHT - 1)) // 2 ^ noise


def rgb24_rows():
    stride = (WIDTH * 3 + 3) & ~3
    pad = bytes(stride - WIDTH * 3)
    rnd = random.Random(1)
    row_noise = bytes(rnd.randrange(4) for _ in range(WIDTH * 3))
    for y in range(HEIGHT):
        base = (y * 255 // max(1, HEIGHT - 1)) // 2
        ramp = bytes(((x // 3) * 255 // max(1, WIDTH - 1) // 2 + base) & 0xFF for x in range(WIDTH * 3))
        yield bytes(a ^ b for a, b in zip(ramp, row_noise)) + pad


def pal8_rows():
    stride = (WIDTH + 3) & ~3
    pad = bytes(stride - WIDTH)
    rnd = random.Random(2)
    row_noise = bytes(rnd.randrange(4) for _ in range(WIDTH))
    for y in range(HEIGHT):
        yield bytes(pixel_value(x, y, row_noise[x]) & 0xFF for x in range(WIDTH)) + pad


def rle8_data():
    out = bytearray()
    for y in range(HEIGHT):
        x = 0
        while x < WIDTH:
            value = ((x // 7) * 3 + y // 5) & 0xFF
            run = min(7 - x % 7, WIDTH - x)
            out += bytes((run, value))
            x += run
        out += b"\x00\x00"  # end of line
    out += b"\x00\x01"  # end of bitmap
    return bytes(out)


def write(path, bit_count, compression, palette, pixels):
    offset = 14 + 40 + len(palette)
    header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, bit_count, compression, len(pixels), 2835, 2835,
                         len(palette) // 4, 0)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset))
        f.write(header)
        f.write(palette)
        f.write(pixels)


KIND, WIDTH, HEIGHT, PATH = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
if KIND == "rgb24":
    write(PATH, 24, 0, b"", b"".join(rgb24_rows()))
elif KIND == "pal8":
    palette = b"".join(bytes((i, (i * 3) & 0xFF, 255 - i, 0)) for i in range(256))  # blue, green, red, 0
    write(PATH, 8, 0, palette, b"".join(pal8_rows()))
elif KIND == "rle8":
    write(PATH, 8, 1, b"".join(bytes((g, g, g, 0)) for g in range(256)), rle8_data())
else:
    sys.exit("unknown kind " + KIND)
