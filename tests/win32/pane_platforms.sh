#!/usr/bin/env bash
# Runs the pane tests that need what the usual run's screen and platform are not:
#   FLAVOUR nt351 EXE   the copy of the test program that Wine reports as platform 3.51
#   FLAVOUR depth8 EXE  the test program on a 256-colour display of its own
# FLAVOUR (win32 or win64) chooses the Wine the program runs under.
set -u
source "$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine.sh"
qvx_use_flavour "$1" || exit 2
mode=$2
exe=$3
case "$mode" in
  nt351)
    qvx_wine reg add 'HKCU\Software\Wine\AppDefaults\qvx_nt351_tests.exe' /v Version /t REG_SZ /d nt351 /f \
      >/dev/null 2>&1 </dev/null
    exec "$QVX_WINE" "$exe" --gtest_filter='PaneView.OldPlatform*:PaneOldPlatform.*'
    ;;
  depth8)
    for n in 86 87 88 89 90; do
      # Only a lock whose server still runs takes the number; Xvfb clears a stale one.
      if [ -e "/tmp/.X$n-lock" ] && kill -0 "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" 2>/dev/null; then continue; fi
      Xvfb ":$n" -screen 0 800x600x8 -nolisten tcp >/dev/null 2>&1 </dev/null &
      xvfb=$!
      trap 'kill $xvfb 2>/dev/null' EXIT
      for i in $(seq 1 50); do
        DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break
        sleep 0.1
      done
      DISPLAY=":$n" timeout 300 "$QVX_WINE" "$exe" --gtest_filter='PaneDepth8.*'
      exit $?
    done
    echo "no display free for the 256-colour run" >&2
    exit 1
    ;;
esac
echo "unknown mode $mode" >&2
exit 2
