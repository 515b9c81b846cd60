#!/bin/bash
# quillvex-cli against quillvex.exe of every Windows build this machine runs, byte for
# byte, so that where both run the two builds are compared too: the compressed test
# pictures, the conformance suite's good and RLE files, and the plug-in's pictures
# (PNG, JPEG, GIF, TIFF) through the imaging plug-in. Each build's runs go through one
# Wine process (qvx_batch_runner), a few at a time.
#   tests/cli/versus_windows.sh [COMMAND [TREE_FLAVOUR]]
# COMMAND is the quillvex-cli to compare (default: the release build users run); the
# pictures come from the native build's qvx_cli_pictures.
# With TREE_FLAVOUR (the CTest of a Windows build) it runs only in the tree of the
# first build this machine runs, and is skipped (77) in the other. Also skipped
# when the native command has not been built.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cli=${1:-$root/build/release/quillvex-cli}
tree_flavour=${2:-}
pictures=$root/build/native/qvx_cli_pictures
for tool in "$cli" "$pictures"; do
  [ -x "$tool" ] || { echo "versus_windows: $tool not built; skipped"; exit 77; }
done
# shellcheck source=/dev/null
source "$root/scripts/common.sh"
qvx_probe_flavours || exit 2
[ -n "$QVX_FLAVOURS" ] || { printf 'versus_windows: no Windows build runs here:\n%s' "$QVX_SKIPPED"; exit 77; }
first=${QVX_FLAVOURS%% *}
if [ -n "$tree_flavour" ] && [ "$tree_flavour" != "$first" ]; then
  echo "versus_windows: compared in the $first tree's run"
  exit 77
fi
for f in $QVX_FLAVOURS; do
  [ -x "$QVX_BUILD/$f/qvx_batch_runner.exe" ] || { echo "versus_windows: build/$f is not built"; exit 1; }
done
qvx_ensure_display

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/plugin" "$work/cli"
"$pictures" "$work/pictures" || exit 1
# The batch test's pictures are compared with the conversion rules by the program's
# own batch test and by the command's, with the same settings: not again here.
rm -f "$work/pictures"/batch-*
for f in "$root"/tests/data/bmpsuite/*/*rle*.bmp; do cp "$f" "$work/pictures/suite-$(basename "$f")"; done
# The suite's good pictures but pal8v5.bmp, whose 124-byte header both refuse.
for f in "$root"/tests/data/bmpsuite/g/*.bmp; do
  case $f in *rle*|*pal8v5*) continue ;; esac
  cp "$f" "$work/pictures/good-$(basename "$f")"
done
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

# The runs: every picture in every mode with and without invert (the good suite
# pictures in three of these), densities spread over the range. Job k runs in
# folder FLAVOUR/k with the picture as in.EXT; its command twin writes cli/k.bmp.
modes=(letter hard soft)
switches=(/M /H /S)
jobs=()   # "PICTURE|DENSITY|MODE|INVERT"
run=0
for picture in "$work"/pictures/*; do
  combos="0:0 0:1 1:0 1:1 2:0 2:1"
  case $(basename "$picture") in good-*) combos="0:0 1:0 2:1" ;; esac
  for combo in $combos; do
    jobs+=("$picture|$((60 + 37 * (run % 5)))|${combo%:*}|${combo#*:}")
    run=$((run + 1))
  done
done

# One flavour's runs, from one Wine process: the folders and the job list, then the runner.
run_programs() {
  local flavour=$1 k picture density m invert extension folder list
  list=$work/$flavour.jobs
  : >"$list"
  for k in "${!jobs[@]}"; do
    IFS='|' read -r picture density m invert <<<"${jobs[$k]}"
    extension=${picture##*.}
    folder=$work/$flavour/$k
    mkdir -p "$folder"
    cp "$picture" "$folder/in.$extension"
    flag=""; [ "$invert" = 1 ] && flag=" /R"
    printf 'Z:%s\\\t/%s in.%s /O out.bmp %s%s\n' "${folder//\//\\}" "$density" "$extension" "${switches[$m]}" "$flag" >>"$list"
  done
  (
    qvx_use_flavour "$flavour"
    qvx_ensure_wine
    "$QVX_ROOT/cmake/wine-run" "$flavour" "$QVX_BUILD/$flavour/qvx_batch_runner.exe" \
      "Z:${list//\//\\}" "Z:${work//\//\\}\\$flavour.results"
  )
}

# The command's twin of job k; its exit status goes to cli/k.status.
run_command() {
  local k=$1 picture density m invert
  IFS='|' read -r picture density m invert <<<"${jobs[$k]}"
  flag=""; [ "$invert" = 1 ] && flag="-i"
  # shellcheck disable=SC2086
  "$cli" -q -t "$density" -m "${modes[$m]}" $flag "$picture" -o "$work/cli/$k.bmp" 2>"$work/cli/$k.err"
  echo $? >"$work/cli/$k.status"
}

# The programs run while the commands run beside them.
(for f in $QVX_FLAVOURS; do run_programs "$f" || echo "the $f runner failed" >"$work/runner-failed"; done) &
programs=$!
for k in "${!jobs[@]}"; do run_command "$k"; done
wait $programs
[ -f "$work/runner-failed" ] && { cat "$work/runner-failed"; exit 1; }

failed=0 compared=0 refused=0
for f in $QVX_FLAVOURS; do
  mapfile -t verdicts <"$work/$f.results"
  for k in "${!jobs[@]}"; do
    IFS='|' read -r picture density m invert <<<"${jobs[$k]}"
    what="$f: $(basename "$picture") ${modes[$m]} invert=$invert density=$density"
    status=$(cat "$work/cli/$k.status")
    verdict=${verdicts[$k]:-none}
    if [ -f "$work/$f/$k/out.bmp" ]; then
      if cmp -s "$work/$f/$k/out.bmp" "$work/cli/$k.bmp"; then
        compared=$((compared + 1))
      else
        echo "FAIL $what: outputs differ (command exited $status: $(head -c 200 "$work/cli/$k.err"))"
        failed=$((failed + 1))
      fi
    elif [ "${verdict%% *}" = message ] && [ "$status" = 1 ] && [ ! -f "$work/cli/$k.bmp" ]; then
      refused=$((refused + 1))   # the program refused the picture, and so did the command
    else
      echo "FAIL $what: the program wrote nothing ($verdict), the command exited $status"
      failed=$((failed + 1))
    fi
  done
done
echo "versus_windows ($QVX_FLAVOURS): ${#jobs[@]} pictures and settings, $compared runs equal, $refused refused by both, $failed differ"
[ $failed = 0 ] && [ $compared -gt 0 ]
