#!/usr/bin/env bash
# The whole program for Windows, checked under wine: the Qt cache (built when missing), the windows-gui
# build of the program, its tools and every core and ui test, the tests under wine (offscreen platform),
# then the release zip and its run on a virtual display (scripts/windows-e2e.sh), and the installer with the
# service it registers (scripts/windows-install-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${WINDOWS_QT_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"

started=$(date +%s)
REGISTRATOR_WINDOWS_QT=$(bash scripts/windows-qt.sh | tail -n 1)
export REGISTRATOR_WINDOWS_QT
use_compiler_cache
build=${REGISTRATOR_WINDOWS_GUI_BUILD_DIR:-$PWD/build-windows-gui}
export REGISTRATOR_WINDOWS_GUI_BUILD_DIR=$build
cmake --preset windows-gui -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"

export WINEPREFIX=$(mktemp -d /tmp/registrator-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# The Qt, QCustomPlot and MinGW runtime DLLs, and Qt's plugins, where the tests find them under wine.
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="Z:$REGISTRATOR_WINDOWS_QT/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
export QT_PLUGIN_PATH="Z:$REGISTRATOR_WINDOWS_QT/plugins"
wineserver -p
wine wineboot --init >/dev/null 2>&1 || true
bash scripts/wine-fonts.sh
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
wineserver -k 2>/dev/null || true

packages=$(bash scripts/package-windows.sh | tail -n 2)
bash scripts/windows-e2e.sh "$(sed -n 1p <<<"$packages")" "${REGISTRATOR_SHOTS:-}"
bash scripts/windows-install-check.sh "$(sed -n 2p <<<"$packages")"
echo "windows-gui-check: passed in $(($(date +%s) - started)) s"
