"""Pictures to 1-bit black and white with the core of quillvex-cli.

    import quillvex
    bits = quillvex.convert("photo.jpg", method="floyd-steinberg")
    quillvex.save(bits, "photo.png")

``convert`` takes a numpy array ((H, W) grey, (H, W, 3) RGB or (H, W, 4) RGBA,
uint8), a PIL image, the bytes of a file or a path, and gives an (H, W) uint8
array, 0 black and 1 white: for the same picture and options, the pixels of the
file ``quillvex-cli`` writes. The GIL is released while converting.
"""

import contextlib
import os
from typing import NamedTuple, Optional, Tuple

import numpy as np

from . import _quillvex as _core
from ._quillvex import ReadError

__all__ = ["convert", "convert_file", "encode", "save", "to_image", "methods", "palettes", "otsu", "ReadError",
           "Method", "Parameter", "IndexedResult"]

ReadError.__doc__ = "A picture that can't be read; the reader's message. An OSError."

# The device formats' keywords and the command's options they stand for.
_DEVICE_OPTIONS = {"layout": "--layout", "on": "--on", "name": "--name", "band": "--band"}
# Stand for the picture and its output where the command's rules want them.
_PICTURE = "picture"
_TO_MEMORY = ["-o", "-", "--", _PICTURE]


class Parameter(NamedTuple):
    name: str
    kind: str  # 'int', 'float' or 'bool'
    default: object
    minimum: Optional[object]
    maximum: Optional[object]
    description: str


class Method(NamedTuple):
    name: str
    family: str
    description: str
    parameters: Tuple[Parameter, ...]


def methods():
    """Every method ``convert`` takes, with its family, description and parameters."""
    return [Method(name, family, description, tuple(Parameter(*p) for p in parameters))
            for name, family, description, parameters in _core.methods()]


def palettes():
    """The built-in palettes: {name: ((r, g, b), ...)}, in the command's order."""
    return {name: tuple(map(tuple, colours)) for name, colours in _core.palettes()}


class IndexedResult(np.ndarray):
    """A picture converted to grey levels or a colour palette: an (H, W) uint8 array of
    indexes. ``levels`` is the number of grey levels (0 black .. levels - 1 white) or
    None; ``palette`` the entries' (r, g, b) colours or None."""

    levels = None
    palette = None

    def __array_finalize__(self, obj):
        self.levels = getattr(obj, "levels", None)
        self.palette = getattr(obj, "palette", None)

    def __reduce__(self):
        rebuild, args, state = super().__reduce__()
        return rebuild, args, (state, self.levels, self.palette)

    def __setstate__(self, state):
        array_state, self.levels, self.palette = state
        super().__setstate__(array_state)


def _indexed(array, levels, palette):
    result = array.view(IndexedResult)
    result.levels, result.palette = levels, palette
    return result


def _palette_text(palette):
    """A palette as the command's --palette takes it, from a built-in name, a list
    "#rrggbb,...", or a sequence of "#rrggbb" texts or (r, g, b) triples."""
    if isinstance(palette, str):
        return palette
    if not isinstance(palette, (list, tuple)):
        raise TypeError(f"palette must be a str or a sequence of colours, not {type(palette).__name__}")
    words = []
    for entry in palette:
        if isinstance(entry, str):
            words.append(entry)
            continue
        channels = [int(_whole_number_word("a palette colour's channel", v)) for v in entry]
        if len(channels) != 3 or not all(0 <= v <= 255 for v in channels):
            raise ValueError(f"a palette colour is (r, g, b), each 0..255, not {tuple(entry)!r}")
        words.append("#%02x%02x%02x" % tuple(channels))
    return ",".join(words)


_parameter_kinds = {}


def _parameter_kind(keyword):
    """The kind of a method parameter ('bool', 'int', 'float') from the methods' list,
    or None. A parameter's keyword is its name with '_' for '-', its option --NAME."""
    if not _parameter_kinds:
        for method in _core.methods():
            for parameter in method[3]:
                _parameter_kinds[parameter[0].replace("-", "_")] = parameter[1]
    return _parameter_kinds.get(keyword)


def _whole_number_word(name, value):
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{name} must be a whole number, not {type(value).__name__}")
    return str(int(value))


def _value_word(name, value):
    if _parameter_kind(name) == "str":
        if name == "palette" and not isinstance(value, str):
            return _palette_text(value)
        if not isinstance(value, str):
            raise TypeError(f"{name} must be a str, not {type(value).__name__}")
        return value
    if _parameter_kind(name) == "float":
        if isinstance(value, bool) or not isinstance(value, (int, float, np.integer, np.floating)):
            raise TypeError(f"{name} must be a number, not {type(value).__name__}")
        return repr(float(value))
    return _whole_number_word(name, value)


def _conversion_words(method, density, invert, max_pixels, autorotate, parameters):
    if not isinstance(method, str):
        raise TypeError(f"method must be a str, not {type(method).__name__}")
    words = ["-m", method]
    if isinstance(density, str) and density == "auto":
        words.append("-a")
    else:
        words += ["-t", _whole_number_word("density", density)]
    if invert:
        words.append("-i")
    for name, value in parameters.items():
        kind = _parameter_kind(name) if name not in ("density", "invert") else None
        option = "--" + name.replace("_", "-")
        if kind is None:
            raise TypeError(f"unexpected keyword argument {name!r}")
        if kind == "bool":
            if value:
                words.append(option)
        elif value is not None:
            words += [option, _value_word(name, value)]
    if max_pixels is not None:
        words += ["--max-pixels", _whole_number_word("max_pixels", max_pixels)]
    if not autorotate:
        words.append("--no-autorotate")
    return words


def _device_words(device_options):
    words = []
    for name, value in device_options.items():
        if name not in _DEVICE_OPTIONS:
            raise TypeError(f"unexpected keyword argument {name!r}")
        if value is not None:
            words += [_DEVICE_OPTIONS[name], str(value) if name != "band" else _whole_number_word(name, value)]
    return words


def _options(words):
    return _core.parse_options(words)


def _is_pil_image(image):
    try:
        from PIL import Image
    except ImportError:
        return False
    return isinstance(image, Image.Image)


def _pil_array(image, autorotate):
    """The samples of a PIL image as the command reads the same picture from a file."""
    from PIL import ImageOps
    try:
        image.load()
    except OSError as e:
        raise ReadError(str(e)) from e
    if autorotate and image.getexif().get(0x0112, 1) != 1:
        image = ImageOps.exif_transpose(image)
    mode = image.mode
    if mode in ("L", "LA", "RGB", "RGBA"):
        return np.asarray(image)
    if mode == "1":
        return np.asarray(image.convert("L"))
    if mode.startswith("I;16"):
        # 16-bit samples keep their high byte.
        return (np.asarray(image).astype(np.uint16) >> 8).astype(np.uint8)
    if mode in ("I", "F"):
        return np.clip(np.asarray(image), 0, 255).astype(np.uint8)
    if mode == "CMYK":
        # R = C x K / 255 on the inverted samples a file stores (G from M, B from Y).
        stored = 255 - np.asarray(image).astype(np.uint32)
        return (stored[:, :, :3] * stored[:, :, 3:4] // 255).astype(np.uint8)
    if mode in ("P", "PA"):
        transparent = mode == "PA" or "transparency" in image.info
        return np.asarray(image.convert("RGBA" if transparent else "RGB"))
    has_alpha = "A" in image.getbands() or "a" in image.getbands()
    return np.asarray(image.convert("RGBA" if has_alpha else "RGB"))


@contextlib.contextmanager
def _memory_file(data):
    """A path to the bytes, in memory."""
    fd = os.memfd_create("quillvex", os.MFD_CLOEXEC)
    try:
        with memoryview(data) as view, open(fd, "wb", closefd=False) as f:
            f.write(view.cast("B") if view.ndim != 1 or view.format != "B" else view)
        yield f"/proc/self/fd/{fd}"
    finally:
        os.close(fd)


_SHOWN_BYTES = "<bytes>"


def _dispatch(image, autorotate, on_array, on_path):
    if isinstance(image, np.ndarray):
        return on_array(image)
    if _is_pil_image(image):
        return on_array(_pil_array(image, autorotate))
    if isinstance(image, (bytes, bytearray, memoryview)):
        with _memory_file(image) as path:
            return on_path(path, _SHOWN_BYTES)
    if isinstance(image, (str, os.PathLike)):
        path = os.fsdecode(os.fspath(image))
        return on_path(path, path)
    raise TypeError("image must be a numpy array, a PIL image, the bytes of a file or a path, not "
                    f"{type(image).__name__}")


def _threads_words(threads):
    """The command's -j for one picture's threads: the machine's cores when None."""
    if threads is None:
        return ["-j", str(min(os.cpu_count() or 1, _MOST_THREADS))]
    return ["-j", _whole_number_word("threads", threads)]


# The most threads the command's -j takes.
_MOST_THREADS = 256


def convert(image, *, method="letter", density=127, invert=False, max_pixels=None, autorotate=True,
            levels=None, palette=None, threads=None, **parameters):
    """Converts a picture to black and white; returns an (H, W) uint8 array, 0 black, 1 white.
    With levels or palette, an IndexedResult: per pixel the grey level or palette entry.

    image: a numpy array ((H, W) grey, (H, W, 3) RGB, (H, W, 4) RGBA, uint8, any
    strides; transparent pixels are laid over white), a PIL image, the bytes of a
    file, or a path. Files are read as quillvex-cli reads them (BMP with the
    program's reader, other formats through libvips, upright as EXIF says unless
    autorotate is False).

    method: 'letter', 'hard', 'soft' or a halftoning method (see methods()).
    density: 0..254 (higher is darker), or 'auto' for Otsu's threshold.
    invert: white for dark pixels. max_pixels: refuse larger pictures.
    levels: 2..16 grey levels, the level index per pixel (0 black); 2 gives the
    black-and-white result. letter gives the nearest level; error diffusion and
    ordered dither spread the rest. palette: a built-in name (palettes()), a text
    "#rrggbb,#rrggbb,..." or a sequence of "#rrggbb" or (r, g, b): the entry's index
    per pixel, by letter (the nearest colour) or error diffusion, without invert.
    threads: how many threads convert the picture, as the command's -j (1..256;
    None, the default, is the machine's cores; 1 converts on the calling thread
    alone). Any number gives the same result. Files, arrays and PIL images share
    every method's rows as the command does; where the machine lacks AVX2, arrays and
    PIL images diffuse errors on one thread. The GIL stays released.
    parameters: the method's own, listed below from the methods' descriptors.

    Raises ValueError for bad parameters or arrays (the command's message) and
    ReadError (an OSError) for pictures that can't be read.
    """
    parameters = dict(parameters, levels=levels, palette=palette)
    words = _conversion_words(method, density, invert, max_pixels, autorotate, parameters) + _threads_words(threads)
    options = _options(words + _TO_MEMORY)
    colours = options.palette and tuple(map(tuple, options.palette))
    indexed = options.levels > 2 or colours is not None

    def on_array(array):
        level = _core.otsu_array(array, options) if options.automatic else options.density
        if not indexed:
            return _core.convert_array(array, options, level)
        return _indexed(_core.convert_array_indexed(array, options, level), None if colours else options.levels,
                        colours)

    def on_path(path, shown):
        if not indexed:
            return _core.convert_path(path, shown, options)
        return _indexed(_indexes_of_file(path, shown, words, colours), None if colours else options.levels, colours)

    return _dispatch(image, autorotate, on_array, on_path)


def _indexes_of_file(path, shown, words, colours):
    """The level or palette indexes of a file, converted as the command converts it into
    a PGM (the levels themselves) or a PPM (each pixel its entry's colour, which is the
    lowest entry of that colour: the nearest-colour rule takes the lower of equals)."""
    import tempfile
    with tempfile.TemporaryDirectory(prefix="quillvex-") as folder:
        target = os.path.join(folder, "result.ppm" if colours else "result.pgm")
        try:
            _core.convert_file(path, target, _options(words + ["-o", target, "--", path]))
        except ReadError as e:
            raise ReadError(str(e).replace(path, shown)) from None
        with open(target, "rb") as f:
            # "P5\nW H\nMAX\n" or "P6\nW H\n255\n", then the samples.
            f.readline()
            width, height = map(int, f.readline().split())
            f.readline()
            if not colours:
                return np.fromfile(f, np.uint8, width * height).reshape(height, width)
            samples = np.memmap(f, np.uint8, "r", f.tell(), (height, width, 3))
            indexes = np.zeros((height, width), np.uint8)
            # A band of rows at a time, so a large picture's colours are never all held twice.
            band = max(1, (1 << 20) // width)
            for top in range(0, height, band):
                rgb = samples[top:top + band].astype(np.uint32)
                keys = rgb[..., 0] << 16 | rgb[..., 1] << 8 | rgb[..., 2]
                for j in reversed(range(len(colours))):
                    r, g, b = colours[j]
                    indexes[top:top + band][keys == (r << 16 | g << 8 | b)] = j
            del samples
            return indexes


def _parameters_doc():
    """A line on each method parameter beyond density and invert: kind, default, range,
    help and the methods that take it, as the core's descriptors give them."""
    found = {}
    for method in methods():
        for p in method.parameters:
            if p.name not in ("density", "invert"):
                found.setdefault(p.name, (p, {}))[1][method.name] = p.default
    halftoning = [m.name for m in methods() if m.family not in ("threshold", "random-threshold")]
    lines = []
    for name, (p, takers) in found.items():
        bounds = f" {p.minimum}..{p.maximum}," if p.minimum is not None and p.maximum is not None else ""
        defaults = set(map(repr, takers.values()))
        default = defaults.pop() if len(defaults) == 1 else ", ".join(f"{m} {v!r}" for m, v in takers.items())
        names = "every halftoning method" if list(takers) == halftoning else ", ".join(takers)
        lines.append(f"    {name.replace('-', '_')} ({p.kind},{bounds} default {default}): {p.description}; {names}")
    return "\n".join(lines) + "\n"


convert.__doc__ += "\n" + _parameters_doc()


def otsu(image, *, max_pixels=None, autorotate=True):
    """Returns the density the command's -a picks for a picture: Otsu's threshold of its luminance."""
    options = _options(_conversion_words("letter", 127, False, max_pixels, autorotate, {}) + _TO_MEMORY)
    return _dispatch(image, autorotate, lambda array: _core.otsu_array(array, options),
                     lambda path, shown: _core.otsu_path(path, shown, options))


def _resolution(resolution):
    if resolution is None:
        return 0, 0
    if isinstance(resolution, (int, np.integer)) and not isinstance(resolution, bool):
        return int(resolution), int(resolution)
    x, y = resolution
    return int(x), int(y)


def _result_words(result):
    """The command's words for what a result's values stand for."""
    if isinstance(result, IndexedResult) and result.palette:
        return ["--palette", _palette_text(result.palette)]
    if isinstance(result, IndexedResult) and result.levels:
        return ["--levels", str(result.levels)]
    return []


def encode(result, format, *, resolution=None, **device_options):
    """Returns the bytes of a file of a converted picture, as quillvex-cli writes it.

    format: bmp, png, tiff, pbm, or a device format (xbm, c, bin, escpos, zpl),
    or an extension of one. resolution: pixels per metre, a number or (x, y), for
    the formats that record it. device_options: layout, on, name, band, as the
    command's options of the same names.
    """
    if not isinstance(format, str):
        raise TypeError(f"format must be a str, not {type(format).__name__}")
    options = _options(["-f", format] + _result_words(result) + _device_words(device_options) + _TO_MEMORY)
    return _core.encode(np.asarray(result), options, "-", *_resolution(resolution))


def save(result, path, format=None, *, resolution=None, **device_options):
    """Writes a converted picture to path as quillvex-cli writes it: the file there is
    replaced only once the new one is whole. The format comes from the name's
    extension unless given."""
    target = os.fsdecode(os.fspath(path))
    words = (["-f", format] if format is not None else []) + _result_words(result) + _device_words(device_options)
    options = _options(words + ["-o", target, "--", _PICTURE])
    _core.save(np.asarray(result), options, target, *_resolution(resolution))


def convert_file(input, output, *, format=None, method="letter", density=127, invert=False, max_pixels=None,
                 autorotate=True, threads=None, **parameters):
    """Converts the file input into the file output exactly as ``quillvex-cli input -o
    output`` does, strip by strip; the output is replaced only once it is whole.
    threads: as convert's (the command's -j; None, the machine's cores).
    parameters: the method's (see convert) and the device formats' (layout, on, name, band)."""
    source = os.fsdecode(os.fspath(input))
    target = os.fsdecode(os.fspath(output))
    device = {name: parameters.pop(name) for name in list(parameters) if name in _DEVICE_OPTIONS}
    words = _conversion_words(method, density, invert, max_pixels, autorotate, parameters)
    words += (["-f", format] if format is not None else []) + _device_words(device) + _threads_words(threads)
    _core.convert_file(source, target, _options(words + ["-o", target, "--", source]))


def _level_greys(levels):
    """The 8-bit grey each level is stored as: (2 * 255 k + N - 1) div (2 (N - 1))."""
    return np.array([(2 * 255 * k + levels - 1) // (2 * (levels - 1)) for k in range(levels)], np.uint8)


def to_image(result):
    """Returns a converted picture as a PIL image: mode '1' for black and white, 'L' for
    grey levels (each level's stored grey), 'P' for a palette (its colours)."""
    from PIL import Image
    if isinstance(result, IndexedResult) and (result.levels or result.palette):
        array = np.asarray(result)
        count = result.levels or len(result.palette)
        if array.ndim != 2 or array.dtype != np.uint8 or array.size == 0:
            raise ValueError("a converted picture is an (H, W) array of uint8")
        if array.max() >= count:
            raise ValueError(f"an index of {int(array.max())} in a picture of {count} levels or colours")
        if result.levels:
            return Image.fromarray(_level_greys(result.levels)[array], "L")
        image = Image.fromarray(array, "P")
        image.putpalette([c for colour in result.palette for c in colour])
        return image
    array = np.asarray(result)
    if array.ndim != 2 or array.dtype not in (np.uint8, np.bool_) or array.size == 0:
        raise ValueError("a converted picture is an (H, W) array of uint8 (0 black, 1 white)")
    if array.dtype == np.uint8 and array.max() > 1:
        raise ValueError("a converted picture holds only 0 (black) and 1 (white)")
    packed = np.packbits(array.astype(np.uint8, copy=False), axis=1)
    return Image.frombytes("1", (array.shape[1], array.shape[0]), packed.tobytes())
