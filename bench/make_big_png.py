#!/usr/bin/env python3
"""Writes an 8-bit greyscale PNG of any size without holding it: make_big_png.py WIDTH HEIGHT PATH.

The content is a diagonal gradient with a little noise, compressed row by row.
"""
import random
import struct
import sys
import zlib


def chunk(out, kind, data):
    out.write(struct.pack(">I", len(data)) + kind + data)
    out.write(struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def main():
    width, height, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rnd = random.Random(1)
    ramp = bytes((x * 255 // max(1, width - 1)) for x in range(width))
    noise = bytes(rnd.randrange(16) for _ in range(width + 4096))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        chunk(out, b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
        chunk(out, b"pHYs", struct.pack(">IIB", 11811, 11811, 1))
        packer = zlib.compressobj(1)
        pending = bytearray()
        for y in range(height):
            shift = (y * 7) % 4096
            row = bytes(a ^ b for a, b in zip(ramp, noise[shift:shift + width])) if y % 64 == 0 else row
            pending += packer.compress(b"\x00" + row)
            if len(pending) > (1 << 20):
                chunk(out, b"IDAT", bytes(pending))
                pending.clear()
        pending += packer.flush()
        chunk(out, b"IDAT", bytes(pending))
        chunk(out, b"IEND", b"")


if __name__ == "__main__":
    main()
