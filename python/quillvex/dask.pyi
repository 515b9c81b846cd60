import os
from typing import Iterable, List, Literal, NamedTuple, Optional, Union

class Outcome(NamedTuple):
    input: str
    output: Optional[str]
    error: Optional[str]

def convert_files(inputs: Iterable[Union[str, os.PathLike]], output_folder: Union[str, os.PathLike], *,
                  client: Optional["distributed.Client"] = None, format: Optional[str] = None,
                  method: str = "letter", density: Union[int, Literal["auto"]] = 127, invert: bool = False,
                  max_pixels: Optional[int] = None, autorotate: bool = True, serpentine: bool = False,
                  linear: bool = False, radius: Optional[int] = None, k: Optional[float] = None,
                  percent: Optional[int] = None, layout: Optional[str] = None, on: Optional[str] = None,
                  name: Optional[str] = None, band: Optional[int] = None) -> List[Outcome]:
    """Converts every file into output_folder, one Dask task a file; an Outcome per input."""

def main(argv: Optional[List[str]] = None) -> int: ...
