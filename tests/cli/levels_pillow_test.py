#!/usr/bin/python3
"""quillvex-cli --levels and --palette into PGM, PPM, PNG and BMP, read back with Pillow.

Usage: levels_pillow_test.py QUILLVEX_CLI

Every file must hold, pixel for pixel, the indexes a model written here from the rules
gives (luminance, tone, nearest level or colour, Floyd-Steinberg's shares, the Bayer
test), as the colours or greys the format stores them as, at the depth it should use.
Exits 77 (skipped) when Pillow is missing.
"""
import os
import struct
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    print("Pillow is missing: skipped")
    sys.exit(77)

CLI = sys.argv[1]
WIDTH, HEIGHT = 29, 19
PALETTES = {
    "bw": "#000000,#ffffff",
    "bwr": "#000000,#ffffff,#ff0000",
    "bwy": "#000000,#ffffff,#ffff00",
    "acep7": "#000000,#ffffff,#00ff00,#0000ff,#ff0000,#ffff00,#ff8000",
    "acep7-measured": "#393039,#ffffff,#3a5b46,#3d3b5e,#9c484b,#d0be47,#b16a49",
    "spectra6": "#000000,#ffffff,#ffff00,#ff0000,#0000ff,#00ff00",
    "spectra6-measured": "#000000,#a1a4a5,#d0be47,#9c484b,#3d3b5e,#3a5b46",
}
failures = []


def check(holds, what):
    if not holds:
        failures.append(what)
        print("FAIL:", what)


def picture():
    """Ramps and a little noise, so every level and colour turns up and errors travel."""
    seed = 12345
    pixels = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            noise = (seed >> 16) % 40
            row.append(((x * 9 + noise) % 256, (y * 13 + 2 * noise) % 256, ((x + y) * 5 + noise) % 256))
        pixels.append(row)
    return pixels


def tdiv(a, b):
    """Division truncated toward zero, as C's."""
    q = abs(a) // b
    return q if a >= 0 else -q


def tone(value, density):
    return min(max(value + 127 - density, 0), 255)


def luminance(rgb):
    return (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2]) // 1000


def level_value(n, k):
    return (2 * 255 * k + n - 1) // (2 * (n - 1))


def nearest_level(n, w):
    """The level nearest to w, a tie to the darker one."""
    best = 0
    for k in range(n):
        if abs(w - level_value(n, k)) < abs(w - level_value(n, best)):
            best = k
    return best


def floyd_steinberg(values, choose, channels):
    """Runs the diffusion over rows of values (lists of channel tuples); choose(w) gives
    (index, w after any clamp). Each share is truncated, the last takes the rest."""
    errors = [[[0] * channels for _ in range(WIDTH)] for _ in range(HEIGHT)]
    out = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            w = [values[y][x][c] + errors[y][x][c] for c in range(channels)]
            index, w, target = choose(w)
            row.append(index)
            for c in range(channels):
                e = w[c] - target[c]
                right, down_left, down = tdiv(e * 7, 16), tdiv(e * 3, 16), tdiv(e * 5, 16)
                for dx, dy, share in ((1, 0, right), (-1, 1, down_left), (0, 1, down),
                                      (1, 1, e - right - down_left - down)):
                    if 0 <= x + dx < WIDTH and y + dy < HEIGHT:
                        errors[y + dy][x + dx][c] += share
        out.append(row)
    return out


def bayer(n, x, y):
    if n == 1:
        return 0
    half = n // 2
    quadrant = ((0, 2), (3, 1))
    return 4 * bayer(half, x % half, y % half) + quadrant[(y % n) // half][(x % n) // half]


def level_indexes(pixels, n, method, density):
    s = [[tone(luminance(p), density) for p in row] for row in pixels]
    if method == "letter":
        return [[nearest_level(n, v) for v in row] for row in s]
    if method == "bayer4":
        out = []
        for y, row in enumerate(s):
            line = []
            for x, v in enumerate(row):
                k = v * (n - 1) // 255
                f = v * (n - 1) - 255 * k
                line.append(k + (k < n - 1 and 2 * 16 * f > 255 * (2 * bayer(4, x, y) + 1)))
            out.append(line)
        return out

    def choose(w):
        k = 0 if w[0] <= 0 else n - 1 if w[0] >= 255 else nearest_level(n, w[0])
        return k, w, [level_value(n, k)]
    return floyd_steinberg([[(v,) for v in row] for row in s], choose, 1)


def parse_colours(text):
    return [tuple(int(c[i:i + 2], 16) for i in (1, 3, 5)) for c in text.split(",")]


def nearest_colour(colours, w):
    distances = [299 * (w[0] - p[0]) ** 2 + 587 * (w[1] - p[1]) ** 2 + 114 * (w[2] - p[2]) ** 2 for p in colours]
    return distances.index(min(distances))  # the first of equal ones: the lower index


def palette_indexes(pixels, colours, method, density):
    t = [[tuple(tone(c, density) for c in p) for p in row] for row in pixels]
    if method == "letter":
        return [[nearest_colour(colours, w) for w in row] for row in t]

    def choose(w):
        w = [min(max(c, -127), 255 + 127) for c in w]
        j = nearest_colour(colours, w)
        return j, w, colours[j]
    return floyd_steinberg(t, choose, 3)


def run(args):
    result = subprocess.run([CLI, "-q"] + args, capture_output=True, text=True)
    check(result.returncode == 0, " ".join(args) + ": status %d %s" % (result.returncode, result.stderr))
    return result.returncode == 0


def png_depth(path):
    """The IHDR's bit depth and colour type."""
    with open(path, "rb") as f:
        head = f.read(26)
    return head[24], head[25]


def bmp_depth(path):
    with open(path, "rb") as f:
        head = f.read(54)
    return struct.unpack("<H", head[28:30])[0], struct.unpack("<I", head[46:50])[0]


def read_back(path, fmt, count, grey):
    """The file's pixels as (indexes, colours of the indexes) top row first; colours are
    what the file says each pixel looks like."""
    image = Image.open(path)
    image.load()
    if fmt == "ppm":
        check(image.mode == "RGB", path + ": mode " + image.mode)
        return None, [list(image.getdata())[y * WIDTH:(y + 1) * WIDTH] for y in range(HEIGHT)]
    if fmt == "pgm":
        with open(path, "rb") as f:
            check(f.read(20).startswith(b"P5\n%d %d\n%d\n" % (WIDTH, HEIGHT, count - 1)), path + ": header")
        # Pillow scales the samples to 0..255 by its own rounding: back to the levels.
        values = [round(v * (count - 1) / 255) for v in image.getdata()]
        return [values[y * WIDTH:(y + 1) * WIDTH] for y in range(HEIGHT)], None
    data = list(image.getdata())
    rows = [data[y * WIDTH:(y + 1) * WIDTH] for y in range(HEIGHT)]
    if image.mode == "L":
        check(fmt == "png" and grey, path + ": grey samples")
        return None, [[(v, v, v) for v in row] for row in rows]
    if image.mode == "1":
        return None, [[(v, v, v) for v in row] for row in rows]
    check(image.mode == "P", path + ": mode " + image.mode)
    table = image.getpalette()
    return rows, [[tuple(table[3 * i:3 * i + 3]) for i in row] for row in rows]


def compare(path, fmt, expected, colours, grey):
    indexes, shown = read_back(path, fmt, len(colours), grey)
    if indexes is not None:
        check(indexes == expected, path + ": indexes differ")
    if shown is not None:
        check(shown == [[colours[k] for k in row] for row in expected], path + ": colours differ")


def main():
    pixels = picture()
    work = tempfile.mkdtemp(prefix="qvx-levels-")
    source = os.path.join(work, "in.bmp")
    image = Image.new("RGB", (WIDTH, HEIGHT))
    image.putdata([p for row in pixels for p in row])
    image.save(source)

    # Grey levels: letter (the nearest level), Floyd-Steinberg, Bayer 4 x 4.
    png_kinds = {4: (2, 0), 8: (4, 3), 16: (4, 0)}  # grey at 2 and 4 bits, else indexed
    for n in (4, 8, 16):
        greys = [(level_value(n, k),) * 3 for k in range(n)]
        for method, density in (("letter", 127), ("floyd-steinberg", 110), ("bayer4", 140)):
            expected = level_indexes(pixels, n, method, density)
            for fmt in ("pgm", "ppm", "png", "bmp"):
                out = os.path.join(work, "levels.%s" % fmt)
                if not run(["--levels", str(n), "-m", method, "-t", str(density), source, "-o", out]):
                    continue
                compare(out, fmt, expected, greys, True)
                where = "levels %d %s %s" % (n, method, fmt)
                if fmt == "png":
                    check(png_depth(out) == png_kinds[n], where + ": depth and colour type %s" % (png_depth(out),))
                if fmt == "bmp":
                    check(bmp_depth(out) == (4, n), where + ": depth and colours used %s" % (bmp_depth(out),))

    # Every built-in palette: letter (the nearest colour) and Floyd-Steinberg.
    for name, text in PALETTES.items():
        colours = parse_colours(text)
        for method, density in (("letter", 127), ("floyd-steinberg", 100)):
            expected = palette_indexes(pixels, colours, method, density)
            for fmt in ("ppm", "png", "bmp"):
                out = os.path.join(work, "palette.%s" % fmt)
                if not run(["--palette", name, "-m", method, "-t", str(density), source, "-o", out]):
                    continue
                compare(out, fmt, expected, colours, False)
                where = "palette %s %s %s" % (name, method, fmt)
                count = len(colours)
                if fmt == "png":
                    depth = 1 if count == 2 else 2 if count <= 4 else 4
                    check(png_depth(out) == (depth, 3), where + ": depth %s" % (png_depth(out),))
                if fmt == "bmp":
                    check(bmp_depth(out) == (1 if count == 2 else 4, count), where + ": depth %s" % (bmp_depth(out),))

    # Black and white as PGM (maxval 1) and PPM: the 1-bit BMP's pixels.
    for method in ("letter", "floyd-steinberg"):
        one_bit = os.path.join(work, "one.bmp")
        run(["-m", method, source, "-o", one_bit])
        grey = list(Image.open(one_bit).convert("L").getdata())
        bits = [[1 if v else 0 for v in grey[y * WIDTH:(y + 1) * WIDTH]] for y in range(HEIGHT)]
        black_white = [(0, 0, 0), (255, 255, 255)]
        for fmt in ("pgm", "ppm"):
            out = os.path.join(work, "one.%s" % fmt)
            if run(["-m", method, source, "-o", out]):
                compare(out, fmt, bits, black_white, True)

    subprocess.run(["rm", "-rf", work])
    if failures:
        print("%d failures" % len(failures))
        sys.exit(1)
    print("all outputs as the model gives them")


main()
