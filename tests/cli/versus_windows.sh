#!/bin/bash
# quillvex-cli against quillvex.exe (the 64-bit build under Wine): every picture of
# the batch test, the compressed test pictures and the conformance suite's RLE files,
# in every mode with and without invert, byte for byte; and the plug-in's pictures
# (PNG, JPEG, GIF, TIFF) against the program with its imaging plug-in.
#   tests/cli/versus_windows.sh [NATIVE_BUILD [WINDOWS_BUILD [FLAVOUR]]]
# Ends with 77 (skipped) when the native command has not been built.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${1:-$root/build/native}
windows=${2:-$root/build/win64}
flavour=${3:-win64}
cli=$native/quillvex-cli
[ -x "$cli" ] || { echo "versus_windows: $cli not built; skipped"; exit 77; }
# shellcheck source=/dev/null
source "$root/scripts/common.sh"
qvx_ensure_display
qvx_use_flavour "$flavour"
qvx_ensure_wine
qvx_wineserver -p >/dev/null 2>&1 </dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/pictures" "$work/plugin"
cp "$windows/quillvex.exe" "$windows/QVXWIC.SPI" "$work/run/" || exit 1
"$native/qvx_cli_pictures" "$work/pictures" || exit 1
for f in "$root"/tests/data/bmpsuite/*/*rle*.bmp; do cp "$f" "$work/pictures/suite-$(basename "$f")"; done
(sh "$root/tests/e2e/plugin_pictures.sh" "$work/plugin" >/dev/null 2>&1; rm -f "$work/plugin/big.png")
for f in palette.png rgb.png alpha.png photo.jpg picture.gif picture.tif; do cp "$work/plugin/$f" "$work/pictures/plugin-$f"; done
# Greys with and without alpha, 16 bits a channel, a palette with a transparent entry.
(cd "$work/pictures" &&
  convert -size 41x29 gradient:white-black -swirl 90 -depth 8 -type Grayscale png8:grey.png &&
  convert -size 41x29 gradient:white-black \( -size 41x29 gradient:black-white -rotate 180 \) \
    -alpha off -compose copy_opacity -composite -type GrayscaleAlpha png:greyalpha.png &&
  convert -size 41x29 gradient:yellow-navy -swirl 120 -depth 16 png48:deep.png &&
  convert -size 41x29 gradient:red-blue -colors 8 -transparent "$(convert -size 41x29 gradient:red-blue -colors 8 \
    -format '%[pixel:p{0,0}]' info:)" png8:transparent-palette.png) >/dev/null 2>&1

# One batch run of the program in the run folder (ARGS...).
run_program() {
  # shellcheck disable=SC2086
  (cd "$work/run" && WINEDEBUG=-all timeout 15 "$QVX_WINE" quillvex.exe "$@" >/dev/null 2>&1 </dev/null)
}

modes=(letter hard soft)
switches=(/M /H /S)
compared=0 failed=0 run=0 refused=0
for picture in "$work"/pictures/*; do
  name=$(basename "$picture")
  extension=${name##*.}
  for m in 0 1 2; do
    for invert in 0 1; do
      density=$((60 + 37 * (run % 5)))
      run=$((run + 1))
      rm -f "$work/run/out.bmp" "$work/cli.bmp"
      cp "$picture" "$work/run/in.$extension"
      flag=""; [ $invert = 1 ] && flag=" /R"
      # shellcheck disable=SC2086
      run_program /$density in.$extension /O out.bmp ${switches[$m]}$flag
      cli_flag=""; [ $invert = 1 ] && cli_flag="-i"
      "$cli" -q -t $density -m ${modes[$m]} $cli_flag "$picture" -o "$work/cli.bmp" 2>"$work/cli.err"
      status=$?
      if [ ! -f "$work/run/out.bmp" ] && [ $status = 0 ]; then
        # A start that failed while the previous run's server was being replaced is
        # tried once more; a picture the program really refuses is refused again.
        qvx_wineserver -k >/dev/null 2>&1; qvx_wineserver -w >/dev/null 2>&1; qvx_wineserver -p >/dev/null 2>&1 </dev/null
        # shellcheck disable=SC2086
        run_program /$density in.$extension /O out.bmp ${switches[$m]}$flag
      fi
      if [ ! -f "$work/run/out.bmp" ]; then
        # The program refused the picture (a message box): the command must refuse it too.
        qvx_wineserver -k >/dev/null 2>&1; qvx_wineserver -w >/dev/null 2>&1; qvx_wineserver -p >/dev/null 2>&1 </dev/null
        if [ $status = 1 ] && [ ! -f "$work/cli.bmp" ]; then refused=$((refused + 1)); continue; fi
        echo "FAIL $name ${modes[$m]} invert=$invert: the program wrote nothing, the command exited $status"
        failed=$((failed + 1))
        continue
      fi
      if cmp -s "$work/run/out.bmp" "$work/cli.bmp"; then
        compared=$((compared + 1))
      else
        echo "FAIL $name ${modes[$m]} invert=$invert density=$density: outputs differ ($(cat "$work/cli.err"))"
        failed=$((failed + 1))
      fi
    done
  done
done
echo "versus_windows: $compared runs equal, $refused refused by both, $failed differ"
[ $failed = 0 ] && [ $compared -gt 0 ]
