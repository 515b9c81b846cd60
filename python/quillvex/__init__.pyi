import os
from typing import Any, Dict, Literal, NamedTuple, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

_Picture = Union[npt.NDArray[np.uint8], "PIL.Image.Image", bytes, bytearray, memoryview, str, os.PathLike]
_Result = npt.NDArray[np.uint8]
_Resolution = Union[None, int, Tuple[int, int]]
_Colour = Tuple[int, int, int]
_PaletteChoice = Union[str, Sequence[Union[str, _Colour]]]

class ReadError(OSError):
    """A picture that can't be read; the reader's message."""

class Parameter(NamedTuple):
    name: str
    kind: str
    default: object
    minimum: Optional[object]
    maximum: Optional[object]
    description: str

class Method(NamedTuple):
    name: str
    family: str
    description: str
    parameters: Tuple[Parameter, ...]

def methods() -> list[Method]:
    """Every method convert takes, with its family, description and parameters."""

class IndexedResult(np.ndarray[Any, np.dtype[np.uint8]]):
    """Per pixel the grey level (0 black .. levels - 1 white) or the palette entry."""
    levels: Optional[int]
    palette: Optional[Tuple[_Colour, ...]]

def palettes() -> Dict[str, Tuple[_Colour, ...]]:
    """The built-in palettes by name, in the command's order."""

def convert(image: _Picture, *, method: str = "letter", density: Union[int, Literal["auto"]] = 127,
            invert: bool = False, max_pixels: Optional[int] = None, autorotate: bool = True,
            levels: Optional[int] = None, palette: Optional[_PaletteChoice] = None, threads: Optional[int] = None,
            serpentine: bool = False, linear: bool = False, radius: Optional[int] = None, k: Optional[float] = None,
            percent: Optional[int] = None) -> _Result:
    """Converts a picture to black and white: an (H, W) uint8 array, 0 black, 1 white;
    with levels (2..16) or a palette (a built-in name, "#rrggbb,..." or colours), an
    IndexedResult of level or entry indexes.

    method: 'letter', 'hard', 'soft' or a halftoning method (methods()); density 0..254
    (higher is darker) or 'auto'; serpentine for error diffusion; linear for the
    halftoning methods; radius for bradley, sauvola and niblack; k for sauvola and
    niblack; percent for bradley. threads: how many threads convert the picture, as the
    command's -j (1..256; None, the machine's cores; the same result for any number).
    ValueError for bad parameters, ReadError for pictures that can't be read."""

def otsu(image: _Picture, *, max_pixels: Optional[int] = None, autorotate: bool = True) -> int:
    """The density the command's -a picks: Otsu's threshold of the picture's luminance."""

def encode(result: _Result, format: str, *, resolution: _Resolution = None, layout: Optional[str] = None,
           on: Optional[str] = None, name: Optional[str] = None, band: Optional[int] = None) -> bytes:
    """The bytes of a file (bmp, png, tiff, pbm, pgm, ppm, xbm, c, bin, escpos, zpl) as quillvex-cli writes
    it; an IndexedResult in the formats that hold its levels or colours.
    resolution: pixels per metre."""

def save(result: _Result, path: Union[str, os.PathLike], format: Optional[str] = None, *,
         resolution: _Resolution = None, layout: Optional[str] = None, on: Optional[str] = None,
         name: Optional[str] = None, band: Optional[int] = None) -> None:
    """Writes the file, replacing one there only once the new one is whole."""

def convert_file(input: Union[str, os.PathLike], output: Union[str, os.PathLike], *, format: Optional[str] = None,
                 method: str = "letter", density: Union[int, Literal["auto"]] = 127, invert: bool = False,
                 max_pixels: Optional[int] = None, autorotate: bool = True, threads: Optional[int] = None,
                 levels: Optional[int] = None, palette: Optional[_PaletteChoice] = None, serpentine: bool = False,
                 linear: bool = False, radius: Optional[int] = None, k: Optional[float] = None,
                 percent: Optional[int] = None, layout: Optional[str] = None, on: Optional[str] = None,
                 name: Optional[str] = None, band: Optional[int] = None) -> None:
    """Converts a file into a file exactly as quillvex-cli INPUT -o OUTPUT does."""

def to_image(result: _Result) -> "PIL.Image.Image":
    """The result as a PIL image: mode '1', 'L' for grey levels, 'P' for a palette."""
