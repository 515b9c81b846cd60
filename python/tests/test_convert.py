"""quillvex against quillvex-cli: the same picture and options give the same file."""

import concurrent.futures
import os
import pickle
import re

import numpy as np
import pytest
from PIL import Image

import quillvex
from conftest import ROOT, picture

# Every method with options that move its result; the command's words for the same.
CASES = [
    ("letter", dict(density=140)),
    ("letter", dict(density="auto", invert=True)),
    ("hard", dict(density=100, invert=True)),
    ("soft", dict()),
    ("floyd-steinberg", dict(serpentine=True)),
    ("jarvis", dict(density=150)),
    ("stucki", dict(linear=True)),
    ("burkes", dict(invert=True)),
    ("sierra", dict()),
    ("sierra2", dict(serpentine=True, linear=True)),
    ("sierra-lite", dict()),
    ("atkinson", dict(density=90)),
    ("bayer2", dict()),
    ("bayer4", dict(linear=True)),
    ("bayer8", dict(invert=True)),
    ("bayer16", dict()),
    ("blue-noise", dict(density=160)),
    ("bradley", dict(radius=5, percent=10)),
    ("sauvola", dict(radius=4, k=0.3)),
    ("niblack", dict(k=-0.1)),
]


def cli_words(method, options):
    words = ["-m", method]
    for name, value in options.items():
        if name == "density":
            words += ["-a"] if value == "auto" else ["-t", value]
        elif value is True:
            words.append({"invert": "-i"}.get(name, "--" + name))
        else:
            words += ["--" + name, value]
    return words


@pytest.fixture(scope="module")
def files(tmp_path_factory):
    """The same RGB picture as an array, a PNG and a bottom-up 24-bit BMP."""
    folder = tmp_path_factory.mktemp("pictures")
    array = picture(37, 53, 3)
    Image.fromarray(array).save(folder / "p.png", dpi=(300, 300))
    Image.fromarray(array).save(folder / "p.bmp")
    return array, folder / "p.png", folder / "p.bmp"


def test_cases_cover_every_method():
    assert {m.name for m in quillvex.methods()} == {name for name, _ in CASES}


@pytest.mark.parametrize("method,options", CASES, ids=[f"{m}-{i}" for i, (m, _) in enumerate(CASES)])
def test_every_input_kind_gives_the_command_s_pbm(cli, files, tmp_path, method, options):
    array, png, bmp = files
    for source in (png, bmp):
        out = tmp_path / (source.suffix[1:] + ".pbm")
        cli(*cli_words(method, options), source, "-o", out)
        expected = out.read_bytes()
        inputs = [str(source), source.read_bytes()]
        if source == png:
            inputs += [array, Image.open(png)]
        for image in inputs:
            got = quillvex.encode(quillvex.convert(image, method=method, **options), "pbm")
            assert got == expected, f"{type(image).__name__} from {source.name}"


@pytest.mark.parametrize("bands,mode", [(1, "L"), (2, "LA"), (4, "RGBA")])
@pytest.mark.parametrize("method", ["letter", "floyd-steinberg"])
def test_grey_and_alpha_are_read_as_the_command_reads_them(cli, tmp_path, bands, mode, method):
    array = picture(41, 29, bands, seed=bands)
    Image.fromarray(array, mode).save(tmp_path / "p.png")
    cli("-m", method, tmp_path / "p.png", "-o", tmp_path / "p.pbm")
    assert quillvex.encode(quillvex.convert(array, method=method), "pbm") == (tmp_path / "p.pbm").read_bytes()


def test_pinned_results():
    grey = np.array([[0, 127, 128, 255]], np.uint8)
    assert quillvex.convert(grey).tolist() == [[0, 0, 1, 1]]
    assert quillvex.convert(grey, invert=True).tolist() == [[1, 1, 0, 0]]
    # A transparent pixel is white whatever its colour; an opaque black one black.
    rgba = np.array([[[0, 0, 0, 0], [0, 0, 0, 255], [255, 255, 255, 0]]], np.uint8)
    assert quillvex.convert(rgba, density=254).tolist() == [[1, 0, 1]]
    assert quillvex.encode(np.array([[1, 0, 1, 1, 1, 1, 1, 1, 0]], np.uint8), "pbm") == b"P4\n9 1\n\x40\x80"


@pytest.mark.parametrize("method", ["soft", "floyd-steinberg", "sauvola"])
def test_strided_and_read_only_arrays(method):
    base = picture(60, 90, 4, seed=7)
    views = [base[::2, ::3, :3], base[::-1, :, 1], base[:, ::-2], base[10:50, 5:80, :3].transpose(1, 0, 2)]
    frozen = np.ascontiguousarray(base[:, :, :3])
    frozen.setflags(write=False)
    views.append(frozen)
    for view in views:
        assert np.array_equal(quillvex.convert(view, method=method),
                              quillvex.convert(np.ascontiguousarray(view), method=method))


@pytest.mark.parametrize("options,kind,text", [
    (dict(method="nope"), ValueError, "nope"),
    (dict(density=255), ValueError, "0 to 254"),
    (dict(method="bayer4", serpentine=True), ValueError, "--serpentine needs"),
    (dict(linear=True), ValueError, "--linear needs"),
    (dict(method="sauvola", radius=0), ValueError, "--radius"),
    (dict(method="bradley", percent=101), ValueError, "--percent"),
    (dict(method="niblack", k=float("nan")), ValueError, "--k"),
    (dict(density=True), TypeError, "density"),
    (dict(threshold=3), TypeError, "threshold"),
])
def test_bad_parameters(options, kind, text):
    with pytest.raises(kind, match=text):
        quillvex.convert(picture(4, 4, 3), **options)


@pytest.mark.parametrize("array", [
    np.zeros((4, 4), np.float32), np.zeros((4, 4, 5), np.uint8), np.zeros((0, 4), np.uint8),
    np.zeros((2, 2, 2, 2), np.uint8), np.zeros(4, np.uint8),
], ids=["float", "5 bands", "empty", "4-d", "1-d"])
def test_bad_arrays(array):
    with pytest.raises(ValueError):
        quillvex.convert(array)


def test_bad_files_give_the_command_s_reason_and_write_nothing(cli, files, tmp_path):
    _, png, bmp = files
    damaged = {
        "cut.png": png.read_bytes()[:200],
        "cut.bmp": bmp.read_bytes()[:500],
        "noise.png": b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 4,
        "text.txt": b"not a picture at all\n",
        "empty.bmp": b"",
    }
    paths = []
    for name, data in damaged.items():
        (tmp_path / name).write_bytes(data)
        paths.append(tmp_path / name)
    paths += [tmp_path / "missing.png", tmp_path]
    out = tmp_path / "out"
    out.mkdir()
    (out / "kept.pbm").write_bytes(b"old")
    for path in paths:
        said = cli(path, "-o", out / "x.pbm", check=False).stderr.strip()
        with pytest.raises(quillvex.ReadError) as caught:
            quillvex.convert(path)
        assert isinstance(caught.value, OSError)
        assert said == f"quillvex-cli: {path}: {caught.value}"
        if path.is_file():
            with pytest.raises(quillvex.ReadError):
                quillvex.convert(path.read_bytes())
        with pytest.raises(quillvex.ReadError):
            quillvex.convert_file(path, out / "kept.pbm")
    with pytest.raises(ValueError):
        quillvex.save(np.full((3, 3), 2, np.uint8), out / "kept.pbm")
    assert os.listdir(out) == ["kept.pbm"] and (out / "kept.pbm").read_bytes() == b"old"


FORMATS = [
    ("bmp", {}), ("png", {}), ("tiff", {}), ("pbm", {}),
    ("xbm", dict(name="logo")), ("c", dict(name="logo", layout="pages")), ("bin", dict(on="black")),
    ("bin", dict(layout="columns-msb")), ("escpos", dict(band=16)), ("zpl", {}),
]


@pytest.mark.parametrize("format,device", FORMATS, ids=[f + str(i) for i, (f, _) in enumerate(FORMATS)])
def test_encode_and_save_write_the_command_s_files(cli, files, tmp_path, format, device):
    _, png, _ = files
    words = [w for name, value in device.items() for w in ("--" + name, value)]
    cli("-m", "atkinson", png, "-f", format, "-o", tmp_path / "cli.out", *words)
    expected = (tmp_path / "cli.out").read_bytes()
    result = quillvex.convert(png, method="atkinson")
    assert quillvex.encode(result, format, resolution=11811, **device) == expected
    quillvex.save(result, tmp_path / "saved.out", format, resolution=11811, **device)
    assert (tmp_path / "saved.out").read_bytes() == expected
    quillvex.convert_file(png, tmp_path / "direct.out", format=format, method="atkinson", **device)
    assert (tmp_path / "direct.out").read_bytes() == expected


def test_to_image_and_otsu(cli, files):
    array, png, _ = files
    result = quillvex.convert(array, method="bayer8")
    image = quillvex.to_image(result)
    assert image.mode == "1" and image.size == (53, 37)
    assert np.array_equal(np.asarray(image), result.astype(bool))
    said = cli("-a", png, "-o", png.with_suffix(".auto.bmp")).stdout
    assert said == f"{png}: density {quillvex.otsu(array)}\n"
    assert quillvex.otsu(png) == quillvex.otsu(Image.open(png)) == quillvex.otsu(array)


def test_threads_convert_as_one_thread_does(files):
    array, png, bmp = files
    jobs = [(source, method) for source in (array, png, bmp) for method in ("soft", "jarvis", "bradley")] * 3
    expected = [quillvex.convert(source, method=method) for source, method in jobs]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        got = list(pool.map(lambda job: quillvex.convert(job[0], method=job[1]), jobs))
    assert all(np.array_equal(a, b) for a, b in zip(got, expected))


@pytest.fixture(params=[0, 1, 2], ids=["scalar", "sse", "avx2"])
def simd_level(request):
    """Each level of vector code this machine runs, the best one restored after."""
    from quillvex import _core
    best = _core.simd_level()
    if request.param > best or not _core.force_simd_level(request.param):
        pytest.skip("this machine lacks the level")
    yield request.param
    _core.force_simd_level(best)


def test_rgb_luminance_and_the_unpacked_bits_are_the_rule_at_every_vector_level(simd_level):
    # Every red and green level with a spread of blues; 250 columns leave a tail past
    # whole blocks of 16 and 32 pixels.
    y, x = np.mgrid[0:256, 0:250]
    rgb = np.stack([x, y, (x * 7 + y * 13) % 256], axis=-1).astype(np.uint8)
    wide = rgb.astype(np.int64)
    luminance = ((299 * wide[..., 0] + 587 * wide[..., 1] + 114 * wide[..., 2]) // 1000).astype(np.uint8)
    for density in range(255):
        expected = (luminance.astype(np.int64) + 127 - density > 127).astype(np.uint8)
        assert np.array_equal(quillvex.convert(rgb, density=density), expected), density
    # Bits of a result unpacked: bayer2 at density 127 alternates in a known pattern.
    grey = np.full((2, 250), 128, np.uint8)
    assert quillvex.convert(grey, method="bayer2").tolist() == [[1, 0] * 125, [0, 1] * 125]


def test_every_descriptor_parameter_reaches_convert_and_the_stubs(cli, tmp_path):
    # The names as the core's descriptors table writes them, read from its source.
    source = (ROOT / "src" / "halftone" / "method_descriptors.h").read_text()
    start = source.index("kParamDescriptors[] = {")
    names = re.findall(r'\{HalftoneParam::k\w+, "([\w-]+)"', source[start:source.index("};", start)])
    assert names and set(names) == {p.name for m in quillvex.methods() for p in m.parameters}
    stubs = (ROOT / "python" / "quillvex" / "__init__.pyi").read_text()
    for function in ("convert", "convert_file"):
        signature = stubs[stubs.index(f"def {function}("):]
        signature = signature[:signature.index("->")]
        assert all(f" {name.replace('-', '_')}:" in signature for name in names), function
    # Each method with each of its parameters off its default: the command's result, in
    # a format that holds it.
    rgb = picture(9, 11, 3)
    Image.fromarray(rgb).save(tmp_path / "p.bmp")
    for method in quillvex.methods():
        for p in method.parameters:
            keyword = p.name.replace("-", "_")
            if p.kind == "bool":
                value = True
            elif p.kind == "str":
                value = "bwr"
                with pytest.raises(TypeError, match=keyword):
                    quillvex.convert(rgb, method=method.name, **{keyword: 1})
            else:
                value = p.default + 1 if p.maximum is None or p.default + 1 <= p.maximum else p.default - 1
                with pytest.raises(TypeError, match=keyword):
                    quillvex.convert(rgb, method=method.name, **{keyword: "1"})
            format = {"levels": "pgm", "palette": "ppm"}.get(p.name, "pbm")
            cli(*cli_words(method.name, {p.name: value}), tmp_path / "p.bmp", "-o", tmp_path / ("p." + format))
            got = quillvex.encode(quillvex.convert(rgb, method=method.name, **{keyword: value}), format)
            assert got == (tmp_path / ("p." + format)).read_bytes(), (method.name, p.name)


def rgb_row(*colours):
    return np.array([colours], np.uint8)


# Tiny pictures and the indexes worked out by hand from the rules: levels at
# q_k = (2 * 255 k + N - 1) div (2 (N - 1)), ties to the darker level; palettes by the
# least 299 dR^2 + 587 dG^2 + 114 dB^2, ties to the lower index.
INDEXED_CASES = [
    # 4 levels (0, 85, 170, 255): 42 and 43 either side of the middle of 0 and 85.
    (np.array([[0, 42, 43, 127, 128, 212, 213, 255]], np.uint8), dict(levels=4), [[0, 0, 1, 1, 2, 2, 3, 3]]),
    (np.array([[0, 42, 43, 127, 128, 212, 213, 255]], np.uint8), dict(levels=4, invert=True),
     [[3, 3, 2, 2, 1, 1, 0, 0]]),
    # 3 levels (0, 128, 255) at density 100 (s = L + 27): 64 is the tie, darker.
    (np.array([[0, 36, 37, 100, 101, 200]], np.uint8), dict(levels=3, density=100), [[0, 0, 0, 1, 1, 2]]),
    # Floyd-Steinberg on one row: w 120, 135, 105, 128; e 35, -35, 20 carry trunc(7 e / 16).
    (np.array([[120, 120, 120, 120]], np.uint8), dict(levels=4, method="floyd-steinberg"), [[1, 2, 1, 2]]),
    # Bayer 2 x 2 ([[0, 2], [3, 1]]) to 3 levels: s 64 and 200 lie a fraction 128/255 and
    # 145/255 above level 0 and 1; up when 8 f > 255 (2 M + 1).
    (np.array([[64, 64, 200, 200], [64, 64, 200, 200]], np.uint8), dict(levels=3, method="bayer2"),
     [[1, 0, 2, 1], [0, 1, 1, 2]]),
    # RGBA laid over white before the levels: transparent black is white.
    (np.array([[[0, 0, 0, 0], [0, 0, 0, 255], [90, 90, 90, 255]]], np.uint8), dict(levels=4), [[3, 0, 1]]),
    # The nearest colour of black, white and red.
    (rgb_row((255, 0, 0), (250, 250, 250), (0, 0, 0), (127, 127, 127), (128, 128, 128)), dict(palette="bwr"),
     [[2, 1, 0, 0, 1]]),
    # (1, 0, 0) lies midway between the two entries: the lower index, in either order.
    (rgb_row((1, 0, 0), (2, 0, 0)), dict(palette="#020000,#000000"), [[0, 0]]),
    (rgb_row((1, 0, 0), (0, 0, 0)), dict(palette=[(0, 0, 0), "#020000"]), [[0, 0]]),
    # Red to black and white by Floyd-Steinberg: the red carried into the third pixel is
    # 255 + trunc(366 * 7 / 16) = 415, held at 255 + 127 = 382, which leaves it black
    # (299 R + 587 G + 114 B = 121228 < 127500); unheld it would be white.
    (rgb_row((255, 0, 0), (255, 0, 0), (255, 10, 10)), dict(palette="bw", method="floyd-steinberg"), [[0, 0, 0]]),
    # Grey pictures take a palette as RGB.
    (np.array([[0, 127, 128, 255]], np.uint8), dict(palette="bw"), [[0, 0, 1, 1]]),
]


@pytest.mark.parametrize("image,options,expected", INDEXED_CASES, ids=[str(i) for i in range(len(INDEXED_CASES))])
def test_levels_and_palettes_give_the_indexes_worked_out_by_hand(image, options, expected):
    result = quillvex.convert(image, **options)
    assert isinstance(result, quillvex.IndexedResult) and result.dtype == np.uint8
    assert result.tolist() == expected
    if "palette" in options:
        assert result.levels is None and len(result.palette) >= 2
    else:
        assert result.levels == options["levels"] and result.palette is None
    # A PIL image and a strided view give the same indexes.
    assert quillvex.convert(Image.fromarray(image), **options).tolist() == expected
    wide = np.repeat(image, 2, axis=1)[:, ::2]
    assert quillvex.convert(wide, **options).tolist() == expected


@pytest.mark.parametrize("levels,greys", [
    (3, [0, 128, 255]), (4, [0, 85, 170, 255]), (5, [0, 64, 128, 191, 255]),
    (8, [0, 36, 73, 109, 146, 182, 219, 255]),
])
def test_to_image_of_levels_gives_each_level_s_stored_grey(levels, greys):
    indexes = np.arange(levels, dtype=np.uint8)[None, :]
    ramp = np.array([greys], np.uint8)
    result = quillvex.convert(ramp, levels=levels)
    assert result.tolist() == indexes.tolist()
    image = quillvex.to_image(result)
    assert image.mode == "L" and list(image.getdata()) == greys


def test_palette_results_their_image_and_pickle():
    colours = quillvex.palettes()
    assert list(colours)[:3] == ["bw", "bwr", "bwy"]
    assert colours["acep7"][6] == (255, 128, 0) and colours["spectra6-measured"][1] == (0xa1, 0xa4, 0xa5)
    rgb = picture(13, 17, 3)
    result = quillvex.convert(rgb, palette="acep7-measured", method="atkinson", serpentine=True)
    assert result.palette == colours["acep7-measured"]
    image = quillvex.to_image(result)
    assert image.mode == "P" and image.size == (17, 13)
    expected = np.array(colours["acep7-measured"], np.uint8)[result]
    assert np.array_equal(np.asarray(image.convert("RGB")), expected)
    for kept in (pickle.loads(pickle.dumps(result)), result[2:5, 1:]):
        assert isinstance(kept, quillvex.IndexedResult) and kept.palette == result.palette
    with pytest.raises(ValueError, match="--palette needs png, bmp, ppm, c or bin"):
        quillvex.encode(result, "tiff")
    levels = quillvex.convert(rgb, levels=6, method="blue-noise", linear=True)
    assert pickle.loads(pickle.dumps(levels)).levels == 6


@pytest.mark.parametrize("options,kind,text", [
    (dict(levels=1), ValueError, "--levels must be a whole number from 2 to 16"),
    (dict(levels=17), ValueError, "--levels must be a whole number from 2 to 16"),
    (dict(levels=4.0), TypeError, "levels"),
    (dict(palette=3), TypeError, "palette"),
    (dict(levels=3, palette="bw"), ValueError, "--levels and --palette"),
    (dict(method="hard", levels=4), ValueError, "--levels 4 needs letter"),
    (dict(method="soft", palette="bwr"), ValueError, "--palette needs letter"),
    (dict(method="sauvola", levels=3), ValueError, "--levels 3 needs letter"),
    (dict(method="bradley", palette="bw"), ValueError, "--palette needs letter"),
    (dict(method="bayer4", palette="bwy"), ValueError, "--palette needs letter"),
    (dict(palette="bwr", invert=True), ValueError, "--invert"),
    (dict(levels=4, linear=True), ValueError, "--linear needs"),
    (dict(palette="red"), ValueError, '"red"'),
    (dict(palette="#12345"), ValueError, '"#12345"'),
    (dict(palette=",".join(["#000000"] * 17)), ValueError, "17"),
    (dict(palette="#000000"), ValueError, "one colour"),
    (dict(palette=[(0, 0, 0), (0, 0, 256)]), ValueError, "0..255"),
    (dict(levels=4, threads=0), ValueError, "^--jobs must be a whole number from 1 to 256: 0$"),
    (dict(palette="bwr", threads=257), ValueError, "^--jobs must be a whole number from 1 to 256: 257$"),
    (dict(levels=4, threads=2.0), TypeError, "threads"),
])
def test_levels_and_palettes_refused(options, kind, text):
    with pytest.raises(kind, match=text):
        quillvex.convert(picture(4, 4, 3), **options)
    with pytest.raises(kind):
        quillvex.convert(b"not read", **options)


# Levels and palettes over the methods that take them, each in a format that holds it.
INDEXED_FILES = [
    (dict(levels=4), "pgm"),
    (dict(levels=16, method="floyd-steinberg", serpentine=True), "png"),
    (dict(levels=8, method="bayer8", density=150), "bmp"),
    (dict(levels=5, method="blue-noise", linear=True, invert=True), "png"),
    (dict(levels=3, method="jarvis"), "ppm"),
    (dict(palette="acep7", method="floyd-steinberg"), "png"),
    (dict(palette="spectra6-measured", method="atkinson", linear=True), "bmp"),
    (dict(palette="bwr"), "ppm"),
    (dict(palette="#102030,#f0e0d0,#808000,#008080,#800080", method="stucki", density=100), "png"),
    (dict(palette="bw", method="sierra-lite"), "pbm"),
    # Two colours in a 1-bit format: the darker is black, whichever index it has.
    (dict(palette="#f0f0f0,#202020", method="burkes"), "pbm"),
]


@pytest.mark.parametrize("options,format", INDEXED_FILES, ids=[f"{f}{i}" for i, (_, f) in enumerate(INDEXED_FILES)])
def test_levels_and_palettes_are_the_command_s_files(cli, files, tmp_path, options, format):
    array, png, bmp = files
    for source in (png, bmp):
        method = options.get("method", "letter")
        words = cli_words(method, {k: v for k, v in options.items() if k != "method"})
        cli(*words, source, "-o", tmp_path / f"cli.{format}")
        expected = (tmp_path / f"cli.{format}").read_bytes()
        # The resolution the command keeps: 300 dpi in the PNG, the BMP's own.
        resolution = 11811 if source == png else int.from_bytes(source.read_bytes()[38:42], "little")
        inputs = [str(source), source.read_bytes()] + ([array, Image.open(png)] if source == png else [])
        for image in inputs:
            result = quillvex.convert(image, **options)
            got = quillvex.encode(result, format, resolution=resolution)
            assert got == expected, f"{type(image).__name__} from {source.name}"
        quillvex.save(result, tmp_path / f"saved.{format}", resolution=resolution)
        assert (tmp_path / f"saved.{format}").read_bytes() == expected
        quillvex.convert_file(source, tmp_path / f"direct.{format}", **options)
        assert (tmp_path / f"direct.{format}").read_bytes() == expected


# One picture on several threads: the bytes of one thread, for arrays whose rows the
# binding takes where they lie (packed RGB, grey) and those it gathers a strip at a
# time (RGBA, columns reversed), wide enough for several strips, and small ones of odd
# sizes, for the ways the rows are shared out: in bands (the modes, whose random draws
# start where the band's storage rows do; ordered, whose rows depend on their place;
# the local thresholds, whose windows reach past their band), as a wavefront (error
# diffusion), on one thread (serpentine); and black and white on the vector bands side
# by side.
@pytest.mark.parametrize("options", [
    dict(method="floyd-steinberg"),
    dict(method="jarvis", linear=True, invert=True),
    dict(method="letter", density=140),
    dict(method="hard", invert=True),
    dict(method="soft"),
    dict(method="bayer8", linear=True),
    dict(method="blue-noise"),
    dict(method="sauvola", radius=2),
    dict(levels=5, method="bayer4", invert=True),
    dict(levels=4, method="jarvis"),
    dict(palette="acep7", method="stucki"),
    dict(palette="bwr"),
    dict(palette="spectra6", method="sierra", serpentine=True),
])
def test_threads_give_the_bytes_of_one_thread(options):
    rgba = picture(150, 5000, 4, seed=3)
    rgba[:, :, 3] = np.maximum(rgba[:, :, 3], 128)
    layouts = {"rgb": np.ascontiguousarray(rgba[:, :, :3]), "rgba": rgba, "reversed": rgba[:, ::-1, :3],
               "grey": np.ascontiguousarray(rgba[:, :, 1]), "small rgb": picture(23, 37, 3, seed=4),
               "tall grey": picture(331, 45, 1, seed=5)}
    for name, array in layouts.items():
        one = quillvex.convert(array, threads=1, **options)
        for threads in (2, 3, 4, 5):
            assert np.array_equal(quillvex.convert(array, threads=threads, **options), one), (name, threads)
