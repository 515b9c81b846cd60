# Shared set-up for ./run and ./test: packages, builds, a display and the Wine prefix.
# Every step checks first, so a second run on a prepared machine costs seconds.

QVX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QVX_BUILD=$QVX_ROOT/build
source "$QVX_ROOT/scripts/wine.sh"

# Packages by what needs them: ./run installs the program's and the command's,
# ./run --web adds the page's toolchain, ./test installs everything.
QVX_CLI_PACKAGES="cmake make clang libvips-dev googletest libgtest-dev"
QVX_PROGRAM_PACKAGES="wine xvfb xauth x11-utils locales fonts-vlgothic"
QVX_WEB_PACKAGES="cmake make clang lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32 nodejs"
QVX_TEST_PACKAGES="$QVX_CLI_PACKAGES $QVX_PROGRAM_PACKAGES $QVX_WEB_PACKAGES g++ g++-mingw-w64-i686 \
g++-mingw-w64-x86-64 mingw-w64-tools wine32:i386 wine64 xdotool imagemagick libbenchmark-dev libclang-rt-14-dev \
time chromium python3-dev pybind11-dev python3-numpy python3-pil python3-pytest python3-dask \
python3-distributed python3-setuptools python3-build python3-venv python3-wheel"

qvx_log() { printf '== %s\n' "$*" >&2; }

qvx_sudo() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# True when this machine executes 32-bit x86 programs. Asked before Wine is installed,
# of a 93-byte i386 program that only exits with status 42: a kernel without IA-32
# emulation refuses it with "Exec format error".
qvx_runs_32bit() {
  local probe
  probe=$(mktemp) || return 1
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\61\333\263\52\61\300\100\315\200' >"$probe"
  chmod +x "$probe"
  local code=0
  "$probe" 2>/dev/null || code=$?
  rm -f "$probe"
  [ "$code" -eq 42 ]
}

# The packages to build and run one Windows flavour: the 32-bit program where the
# machine runs 32-bit code, else the 64-bit one (QVX_WINE_ARCH chooses).
qvx_program_flavour_packages() {
  local flavour=${QVX_WINE_ARCH:-}
  if [ -z "$flavour" ]; then
    if qvx_runs_32bit; then flavour=win32; else flavour=win64; fi
  fi
  if [ "$flavour" = win64 ]; then
    echo "$QVX_PROGRAM_PACKAGES g++-mingw-w64-x86-64 wine64"
  else
    echo "$QVX_PROGRAM_PACKAGES g++-mingw-w64-i686 wine32:i386"
  fi
}

qvx_missing_packages() {
  local p missing=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
  done
  printf '%s' "$missing"
}

# qvx_ensure_packages [run|web|test]: installs what that use needs and is missing
# (test when not said).
qvx_ensure_packages() {
  local wanted missing
  case "${1:-test}" in
    run) wanted="$QVX_CLI_PACKAGES $(qvx_program_flavour_packages)" ;;
    web) wanted="$QVX_WEB_PACKAGES" ;;
    *) wanted="$QVX_TEST_PACKAGES" ;;
  esac
  missing=$(qvx_missing_packages $wanted)
  if [ -n "$missing" ]; then
    qvx_log "installing:$missing"
    case "$missing" in *:i386*) qvx_sudo dpkg --add-architecture i386 ;; esac
    qvx_sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive qvx_sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
  fi
  case " $wanted " in *" locales "*) qvx_ensure_japanese_locale ;; esac
}

qvx_ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' && return
  qvx_sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | qvx_sudo tee -a /etc/locale.gen >/dev/null
  qvx_sudo locale-gen >/dev/null 2>&1 || true
}

qvx_jobs() { nproc 2>/dev/null || echo 2; }

# The native flavour: portable core, unit tests under sanitizers, fuzz targets.
qvx_build_native() {
  cmake -S "$QVX_ROOT" -B "$QVX_BUILD/native" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQVX_SANITIZE=ON >/dev/null
  cmake --build "$QVX_BUILD/native" -j "$(qvx_jobs)"
}

# The command users run (./run's set-up): a release build without sanitizers,
# build/release/quillvex-cli. The tests use the sanitizer build in build/native.
qvx_build_cli() {
  qvx_configure_release
  cmake --build "$QVX_BUILD/release" -j "$(qvx_jobs)" --target quillvex-cli
}

qvx_configure_release() {
  cmake -S "$QVX_ROOT" -B "$QVX_BUILD/release" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQVX_SANITIZE=OFF >/dev/null
}

# Benchmarks are measured on the same release build.
qvx_build_release() {
  qvx_configure_release
  cmake --build "$QVX_BUILD/release" -j "$(qvx_jobs)" --target qvx_bench quillvex-cli
}

# The Python module beside the release build: build/release/python is a tree Python
# imports quillvex from. Debian's interpreter, which has numpy, Pillow and Dask
# (another python3 may come first on PATH).
QVX_PYTHON=${QVX_PYTHON:-/usr/bin/python3}
qvx_build_python() {
  qvx_configure_release
  cmake --build "$QVX_BUILD/release" -j "$(qvx_jobs)" --target quillvex_python quillvex-cli
}

# The module's tests against the release quillvex-cli; any exit but 0 fails, 5 (no
# tests collected) included.
qvx_python_tests() {
  local rc=0
  PYTHONPATH="$QVX_BUILD/release/python" PYTHONDONTWRITEBYTECODE=1 QVX_CLI="$QVX_BUILD/release/quillvex-cli" \
    "$QVX_PYTHON" -m pytest -q -p no:cacheprovider "$QVX_ROOT/python/tests" || rc=$?
  [ "$rc" -eq 0 ]
}

# A Windows flavour (win32 or win64): the program, its plug-ins and the Wine-run
# tests, in build/FLAVOUR.
qvx_build_windows() {
  qvx_configure_windows "$1"
  cmake --build "$QVX_BUILD/$1" -j "$(qvx_jobs)"
}

qvx_configure_windows() {
  local toolchain=mingw-i686
  [ "$1" = win64 ] && toolchain=mingw-x86_64
  cmake -S "$QVX_ROOT" -B "$QVX_BUILD/$1" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$QVX_ROOT/cmake/$toolchain.cmake" >/dev/null
}

# The program and its shipped plug-in alone, for ./run: the tests are ./test's.
qvx_build_program() {
  qvx_configure_windows "$1"
  cmake --build "$QVX_BUILD/$1" -j "$(qvx_jobs)" --target quillvex qvx_wic_plugin
}

QVX_OWN_XVFB=""
qvx_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return; fi
  local n
  for n in $(seq 91 130); do
    # A lock whose server is gone is stale (a killed run); Xvfb clears it itself.
    if [ -e "/tmp/.X$n-lock" ] && kill -0 "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" 2>/dev/null; then continue; fi
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QVX_OWN_XVFB=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return
      sleep 0.1
    done
  done
  echo "no virtual display could be started" >&2
  return 1
}

# Makes the current flavour's prefix once (see qvx_use_flavour) and keeps its
# server alive for the run, so that every test program starts fast.
QVX_STARTED_PREFIXES=""
qvx_ensure_wine() {
  if [ ! -f "$WINEPREFIX/.qvx-ready" ]; then
    qvx_log "creating the $QVX_FLAVOUR Wine prefix"
    rm -rf "$WINEPREFIX"
    mkdir -p "$QVX_BUILD"
    qvx_wine wineboot -i >/dev/null 2>&1 </dev/null || true
    qvx_wineserver -w
    # A crashing test program must end, not wait in a crash dialog.
    qvx_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    qvx_wineserver -w
    touch "$WINEPREFIX/.qvx-ready"
  fi
  qvx_match_window_manager
  qvx_wineserver -p >/dev/null 2>&1 </dev/null || true
  QVX_STARTED_PREFIXES="$QVX_STARTED_PREFIXES $WINEPREFIX"
}

# Without a window manager nobody answers Wine's wait for a hidden window to be
# withdrawn, and every closing window costs two seconds; Wine then manages its
# windows itself. With a window manager (a developer's own desktop) it manages them.
qvx_match_window_manager() {
  local want=Y
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || want=N
  [ -f "$WINEPREFIX/.qvx-managed-$want" ] && return
  qvx_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$want" /f >/dev/null 2>&1 </dev/null
  rm -f "$WINEPREFIX"/.qvx-managed-*
  touch "$WINEPREFIX/.qvx-managed-$want"
}

qvx_cleanup() {
  if [ -n "$QVX_OWN_XVFB" ]; then
    local prefix
    for prefix in $QVX_STARTED_PREFIXES; do
      WINEPREFIX=$prefix "$(qvx_server_path)" -k >/dev/null 2>&1 || true
    done
    kill "$QVX_OWN_XVFB" >/dev/null 2>&1 || true
  fi
}

# The page: the core built to WebAssembly, and the page's files beside it in
# build/web, the folder any static host can serve.
qvx_build_web() {
  cmake -S "$QVX_ROOT" -B "$QVX_BUILD/wasm" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$QVX_ROOT/cmake/wasm32-wasi.cmake" >/dev/null
  cmake --build "$QVX_BUILD/wasm" -j "$(qvx_jobs)" >/dev/null
  rm -rf "$QVX_BUILD/web"
  cp -r "$QVX_ROOT/web/page" "$QVX_BUILD/web"
  cp "$QVX_BUILD/wasm/quillvex.wasm" "$QVX_BUILD/web/"
}

# The browser test's driver (playwright-core, pointed at Debian's chromium; it
# downloads no browser), installed from the lock file when missing.
qvx_ensure_page_test_tools() {
  # Debian's npm conflicts with a Node.js that brings its own npm.
  command -v npm >/dev/null ||
    DEBIAN_FRONTEND=noninteractive qvx_sudo apt-get install -y -qq --no-install-recommends npm >/dev/null
  local tests="$QVX_ROOT/web/tests"
  if ! cmp -s "$tests/package-lock.json" "$tests/node_modules/.qvx-lock" 2>/dev/null; then
    (cd "$tests" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$tests/package-lock.json" "$tests/node_modules/.qvx-lock"
  fi
}
