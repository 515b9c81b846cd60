# The two Windows flavours and the Wine of each: which ones this machine can run,
# and the loader, prefix and server a flavour runs with. Sourced by the scripts,
# CTest's emulator and the test helpers, so that Wine is started one way only.
#
# win32 is the program as shipped; win64 is the same sources for x86_64, for
# machines whose kernel cannot execute 32-bit code (IA-32 emulation switched off:
# every i386 program, Wine's 32-bit loader included, fails with "Exec format error").
# /usr/bin/wine and the other wrapper scripts prefer the 32-bit loader whenever it
# is installed, so the loader is always called by its own path.

QVX_ROOT=${QVX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
QVX_BUILD=${QVX_BUILD:-$QVX_ROOT/build}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

QVX_ALL_FLAVOURS="win32 win64"

qvx_loader_of() {
  case "$1" in
    win32) echo /usr/lib/wine/wine ;;
    win64) echo /usr/lib/wine/wine64 ;;
    *) return 1 ;;
  esac
}

qvx_bits_of() { [ "$1" = win64 ] && echo 64 || echo 32; }

# The 64-bit server serves both kinds of client, and runs where 32-bit code can't.
qvx_server_path() {
  if [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64; else echo /usr/lib/wine/wineserver32; fi
}

# Points the environment at one flavour: QVX_WINE is its loader, WINEPREFIX its own prefix.
qvx_use_flavour() {
  QVX_FLAVOUR=$1
  QVX_WINE=$(qvx_loader_of "$1") || { echo "unknown Windows flavour '$1'" >&2; return 1; }
  export QVX_WINE QVX_FLAVOUR
  export WINEARCH=$1
  export WINEPREFIX=$QVX_BUILD/wineprefix-$1
  export WINELOADER=$QVX_WINE
  WINESERVER=$(qvx_server_path)
  export WINESERVER
}

qvx_wine() { "$QVX_WINE" "$@"; }
qvx_wineserver() { "$WINESERVER" "$@"; }

# Prints why a flavour can't run here, or nothing when it can.
qvx_why_not_runnable() {
  local loader output
  loader=$(qvx_loader_of "$1") || { echo "unknown flavour"; return; }
  if [ ! -e "$loader" ]; then
    echo "$loader is not installed"
    return
  fi
  if ! output=$("$loader" --version 2>&1 </dev/null); then
    case "$output" in
      *"Exec format error"*) echo "this machine cannot execute $(qvx_bits_of "$1")-bit programs ($loader: Exec format error)" ;;
      *) echo "$loader --version failed: $(printf '%s' "$output" | head -1)" ;;
    esac
  fi
}

# The probe: sets QVX_FLAVOURS to the flavours this machine can run (win32 first),
# and QVX_SKIPPED to one line per flavour it can't, with the reason.
# QVX_WINE_ARCH=win32 or win64 narrows the choice to that flavour.
qvx_probe_flavours() {
  local wanted=$QVX_ALL_FLAVOURS f why
  if [ -n "${QVX_WINE_ARCH:-}" ]; then
    qvx_loader_of "$QVX_WINE_ARCH" >/dev/null || { echo "QVX_WINE_ARCH must be win32 or win64, not '$QVX_WINE_ARCH'" >&2; return 1; }
    wanted=$QVX_WINE_ARCH
  fi
  QVX_FLAVOURS=""
  QVX_SKIPPED=""
  for f in $wanted; do
    why=$(qvx_why_not_runnable "$f")
    if [ -z "$why" ]; then
      QVX_FLAVOURS="$QVX_FLAVOURS $f"
    else
      QVX_SKIPPED="$QVX_SKIPPED$f: $why"$'\n'
    fi
  done
  QVX_FLAVOURS=${QVX_FLAVOURS# }
  for f in $QVX_ALL_FLAVOURS; do
    case " $wanted " in *" $f "*) ;; *) QVX_SKIPPED="$QVX_SKIPPED$f: not chosen (QVX_WINE_ARCH=$QVX_WINE_ARCH)"$'\n' ;; esac
  done
}
