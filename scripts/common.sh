# Shared set-up for ./run and ./test: packages, builds, a display and the Wine prefix.
# Every step checks first, so a second run on a prepared machine costs seconds.

QVX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QVX_BUILD=$QVX_ROOT/build
source "$QVX_ROOT/scripts/wine.sh"

QVX_PACKAGES="cmake g++ make g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 \
xvfb xauth xdotool x11-utils imagemagick googletest libgtest-dev libbenchmark-dev \
clang libclang-rt-14-dev locales fonts-vlgothic libvips-dev time \
lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32 chromium nodejs"

qvx_log() { printf '== %s\n' "$*" >&2; }

qvx_missing_packages() {
  local p missing=""
  for p in $QVX_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
  done
  printf '%s' "$missing"
}

qvx_ensure_packages() {
  local missing
  missing=$(qvx_missing_packages)
  if [ -n "$missing" ]; then
    qvx_log "installing:$missing"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $QVX_PACKAGES >/dev/null
  fi
  if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null 2>&1 || true
  fi
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

# A Windows flavour (win32 or win64): the program, its plug-ins and the Wine-run
# tests, in build/FLAVOUR.
qvx_build_windows() {
  local toolchain=mingw-i686
  [ "$1" = win64 ] && toolchain=mingw-x86_64
  cmake -S "$QVX_ROOT" -B "$QVX_BUILD/$1" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$QVX_ROOT/cmake/$toolchain.cmake" >/dev/null
  cmake --build "$QVX_BUILD/$1" -j "$(qvx_jobs)"
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
  if ! command -v npm >/dev/null; then
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends npm >/dev/null
  fi
  local tests="$QVX_ROOT/web/tests"
  if ! cmp -s "$tests/package-lock.json" "$tests/node_modules/.qvx-lock" 2>/dev/null; then
    (cd "$tests" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$tests/package-lock.json" "$tests/node_modules/.qvx-lock"
  fi
}
