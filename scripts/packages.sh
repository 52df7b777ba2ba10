# The Debian packages the project needs, in one place. Sourced by the entry points.
# RUN_PACKAGES: build and run the program and its tools (scripts/run.sh, scripts/package.sh).
RUN_PACKAGES=(
    g++ cmake ninja-build
    qt6-base-dev libqcustomplot-dev libqcustomplot2.1-qt6 qt6-translations-l10n qt6-multimedia-dev
    libmosquitto-dev libxlsxwriter-dev libssl-dev fonts-dejavu-core
)
# TEST_PACKAGES: what the tests, the benchmarks and the checks add (scripts/test.sh, scripts/bench.sh):
# GoogleTest and Google Benchmark, the format check, clang with its runtimes and symbolizer for the fuzz
# targets, a Russian locale, headless Chromium for the web view and openssl's client for its HTTPS, the
# Modbus clients, Prometheus, an MQTT broker with PostgreSQL behind it, a faked clock and a loaded machine,
# and readers of the reports' workbooks and PDFs other than ours.
TEST_PACKAGES=(
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang-format clang libclang-rt-dev llvm locales
    xvfb xauth curl openssl systemd python3
    qt6-websockets-dev chromium
    libmodbus-dev mbpoll python3-pymodbus python3-serial-asyncio prometheus
    mosquitto mosquitto-clients python3-paho-mqtt postgresql python3-psycopg2 faketime stress-ng
    python3-openpyxl poppler-utils ccache
)
# DEB_PACKAGES: what making the Debian package adds (scripts/package-deb.sh); scripts/deb-check.sh adds lintian.
DEB_PACKAGES=(
    dpkg-dev ccache
)
# WINDOWS_PACKAGES: the Windows build, its run under wine and its installer (wixl, scripts/package-windows.sh).
WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix wine wine64 wixl ccache
)
# WINDOWS_QT_PACKAGES: the cross build of Qt and QCustomPlot from Debian's sources (scripts/windows-qt.sh).
WINDOWS_QT_PACKAGES=(
    g++-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev xz-utils qt6-base-dev qt6-base-dev-tools
)

# Installs whichever of the named packages are missing; does nothing (quickly) when all are there.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Compiles through ccache, kept with the project's other caches, so that a second run of the checks
# rebuilds only what changed; a clone at another path hits the same cache. Leaves a launcher or a ccache
# folder the caller chose alone, and does nothing where ccache is not installed.
use_compiler_cache() {
    command -v ccache >/dev/null || return 0
    local root
    root=$(git rev-parse --show-toplevel 2>/dev/null || pwd)
    export CCACHE_DIR=${CCACHE_DIR:-${REGISTRATOR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/registrator}/ccache}
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
    export CCACHE_NOHASHDIR=1
    export CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
}
