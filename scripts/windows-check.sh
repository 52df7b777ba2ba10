#!/usr/bin/env bash
# The Windows build of the core: cross-compiles registrator_core and its tests with Debian's
# mingw-w64 (statically linked, so no DLLs are needed) and runs the tests under wine in a
# private, throw-away wine prefix. Set REGISTRATOR_WINDOWS_BUILD_DIR to build elsewhere than
# build-windows.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages cmake ninja-build "${WINDOWS_PACKAGES[@]}"

build_dir=${REGISTRATOR_WINDOWS_BUILD_DIR:-$PWD/build-windows}
jobs=$(nproc)

cmake --preset windows -B "$build_dir"
cmake --build "$build_dir" -j "$jobs"

WINEPREFIX=$(mktemp -d /tmp/registrator-wine.XXXXXX)
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko install prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# One persistent server for all tests; without it each test waits seconds for its own to start and stop.
wineserver -p
wine wineboot --init >/dev/null 2>&1 || true
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs"
