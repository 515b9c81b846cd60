#!/usr/bin/env bash
# both_builds.sh WIN32_EXE WIN64_EXE: converts the conformance suite's pictures in
# batch with the 32-bit and the 64-bit program, each under its own Wine, and fails
# when any output (or the presence of one) differs. Skipped (exit 77) where this
# machine can't run both builds.
set -u
source "$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine.sh"
exe32=$1
exe64=$2
suite=${QVX_TESTDATA:-$QVX_ROOT/tests/data}/bmpsuite

qvx_probe_flavours || exit 2
if [ "$QVX_FLAVOURS" != "win32 win64" ]; then
  printf 'both builds can not run here:\n%s' "$QVX_SKIPPED"
  exit 77
fi
for f in win32 win64; do
  if [ ! -f "$QVX_BUILD/wineprefix-$f/.qvx-ready" ]; then
    echo "the $f prefix is not made yet (./test makes it)"
    exit 77
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# convert FLAVOUR EXE PICTURE OUTPUT OPTIONS...: one batch run in the flavour's Wine.
convert() {
  local flavour=$1 exe=$2 picture=$3 output=$4
  shift 4
  (
    qvx_use_flavour "$flavour"
    cd "$work/$flavour" && timeout 30 "$QVX_WINE" "$exe" "$@" "$picture" /O "$output" >/dev/null 2>&1 </dev/null
  )
}

mkdir -p "$work/win32" "$work/win64"
compared=0
differing=0
# The suite's good pictures; pal8v5.bmp is refused with a message, which a batch run
# waits on.
for picture in "$suite"/g/*.bmp; do
  name=$(basename "$picture" .bmp)
  [ "$name" = pal8v5 ] && continue
  cp "$picture" "$work/win32/$name.bmp"
  cp "$picture" "$work/win64/$name.bmp"
  for options in "/120" "/H" "/S /R"; do
    out="$name-${options//[ \/]/}.bmp"
    # shellcheck disable=SC2086
    convert win32 "$exe32" "$name.bmp" "$out" $options
    # shellcheck disable=SC2086
    convert win64 "$exe64" "$name.bmp" "$out" $options
    compared=$((compared + 1))
    if [ -e "$work/win32/$out" ] || [ -e "$work/win64/$out" ]; then
      if ! cmp -s "$work/win32/$out" "$work/win64/$out"; then
        echo "differs: $name.bmp with $options"
        differing=$((differing + 1))
      fi
    fi
  done
done
echo "$compared batch runs compared, $differing differ"
[ "$compared" -gt 0 ] && [ "$differing" -eq 0 ]
