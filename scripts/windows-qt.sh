#!/usr/bin/env bash
# Builds, once per machine, the Qt that the Windows build of the program links: Debian's own qt6-base
# source (the same 6.4.2 as the Linux Qt) cross-compiled with mingw-w64 against the host tools of the
# Linux Qt, and QCustomPlot, libmosquitto, zlib and libxlsxwriter from Debian's sources beside it. Everything goes to a cache
# folder outside the checkout, keyed by a hash of the recipe (the sources' versions, the configure options
# and the toolchain file); a run that finds it takes seconds. Prints the install prefix on its last line.
# REGISTRATOR_CACHE overrides the cache folder (default ${XDG_CACHE_HOME:-~/.cache}/registrator).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
source scripts/packages.sh

qt_source=qt6-base=6.4.2+dfsg-10
qcp_source=qcustomplot=2.1.0+dfsg1-3.1
mosquitto_source=mosquitto=2.0.11-1.2+deb12u2
zlib_source=zlib=1:1.2.13.dfsg-1
xlsxwriter_source=libxlsxwriter=1.1.4-2
toolchain=$here/cmake/mingw-w64-x86_64.cmake
# Only what the program, its tools and its tests use: Core, Gui, Widgets, Network, PrintSupport and
# Test, with the windows and offscreen platforms and the Windows styles. Debian's tarball lacks the
# wintab code (tabletevent off), and OpenGL goes off together with its dynamic loading.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_WITH_PCH=OFF
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=ON -DFEATURE_accessibility=ON
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF
    -DFEATURE_sspi=OFF -DFEATURE_schannel=OFF -DFEATURE_openssl=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF -DINPUT_opengl=no
)
host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)

cache_root=${REGISTRATOR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/registrator}
qt_key=$({ echo "$qt_source" "${qt_options[@]}"; cat "$toolchain"; } | sha256sum | cut -c1-12)
qcp_key=$(echo "$qcp_source" | sha256sum | cut -c1-12)
mosquitto_key=$(echo "$mosquitto_source" | sha256sum | cut -c1-12)
# The workbook library is linked statically, with the zlib it needs: both keyed together.
xlsxwriter_key=$(echo "$zlib_source" "$xlsxwriter_source" | sha256sum | cut -c1-12)
prefix=$cache_root/windows-qt-6.4.2-$qt_key
work=$cache_root/work-$qt_key
jobs=$(nproc)
started=$(date +%s)
say() { echo "windows-qt: $*" >&2; }

# Qt's Russian translations go beside the Windows Qt, where it looks for them (qtbase's source has none),
# and fonts where its offscreen platform, which the tests use, looks for them (it reads no system fonts).
ensure_extras() {
    ensure_packages qt6-translations-l10n fonts-dejavu-core
    mkdir -p "$prefix/translations" "$prefix/lib/fonts"
    cp -u /usr/share/qt6/translations/qtbase_ru.qm "$prefix/translations/"
    cp -u /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf /usr/share/fonts/truetype/dejavu/DejaVuSerif*.ttf \
        "$prefix/lib/fonts/"
}

if [ -f "$prefix/.qt-complete" ] && [ -f "$prefix/.qcustomplot-$qcp_key" ] &&
    [ -f "$prefix/.libmosquitto-$mosquitto_key" ] && [ -f "$prefix/.libxlsxwriter-$xlsxwriter_key" ]; then
    [ -f "$prefix/translations/qtbase_ru.qm" ] && [ -f "$prefix/lib/fonts/DejaVuSans.ttf" ] || ensure_extras
    say "Qt, QCustomPlot, libmosquitto and libxlsxwriter for Windows are cached in $prefix"
    echo "$prefix"
    exit 0
fi
ensure_packages "${WINDOWS_QT_PACKAGES[@]}"

# Debian's sources through an apt configuration of our own, so the system's sources stay as they are. A
# step that fails shows what apt or dpkg-source said and ends the script.
fetch() { # PACKAGE=VERSION FOLDER
    mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
    # The point release's and the security archive's too, where Debian's fixed versions (+deb12uN) are.
    printf '%s\n' "deb-src http://deb.debian.org/debian bookworm main" \
        "deb-src http://deb.debian.org/debian bookworm-updates main" \
        "deb-src http://security.debian.org/debian-security bookworm-security main" >"$work/apt/sources.list"
    local apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache")
    local log=$work/fetch.log
    if [ -z "$(ls "$work/apt/lists" 2>/dev/null | grep -v partial)" ] &&
        ! apt-get "${apt[@]}" -qq --error-on=any update >"$log" 2>&1; then
        cat "$log" >&2
        rm -rf "$work/apt/lists" # so that the next run reads the lists afresh
        say "apt-get update of Debian's source lists failed (above), so $1 cannot be fetched"
        exit 1
    fi
    rm -rf "${work:?}/src/$2" # what a run that failed left
    if ! (cd "$work/src" && apt-get "${apt[@]}" -qq source --download-only "$1") >"$log" 2>&1; then
        cat "$log" >&2
        say "apt-get source $1 failed (above)"
        exit 1
    fi
    if ! (cd "$work/src" && dpkg-source --no-check -x "${1%%=*}"_*.dsc "$2") >"$log" 2>&1; then
        tail -n 20 "$log" >&2
        say "unpacking the source of $1 failed (above)"
        exit 1
    fi
}

if [ ! -f "$prefix/.qt-complete" ]; then
    rm -rf "$work" "$prefix"
    say "fetching Debian's $qt_source source"
    fetch "$qt_source" qtbase
    say "configuring and building Qt (about half an hour on two idle cores)"
    cmake -S "$work/src/qtbase" -B "$work/qt-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${host[@]}" "${qt_options[@]}" >"$work/configure.log" 2>&1 || {
        tail -n 40 "$work/configure.log" >&2
        say "configure failed; the whole log is $work/configure.log"
        exit 1
    }
    nice -n 10 cmake --build "$work/qt-build" -j "$jobs" >"$work/build.log" 2>&1 || {
        grep -B2 -A8 -m3 'error' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2
        say "the Qt build failed; the whole log is $work/build.log"
        exit 1
    }
    cmake --install "$work/qt-build" >"$work/install.log" 2>&1 || {
        tail -n 20 "$work/install.log" >&2
        say "the Qt install failed; the whole log is $work/install.log"
        exit 1
    }
    for lib in Qt6Core Qt6Gui Qt6Widgets Qt6Network Qt6PrintSupport Qt6Test; do
        [ -f "$prefix/bin/$lib.dll" ] || {
            say "the install lacks $lib.dll; see $work/install.log"
            exit 1
        }
    done
    touch "$prefix/.qt-complete"
    say "Qt built in $(($(date +%s) - started)) s"
fi

# QCustomPlot as Debian builds it (its CMake files and its patch for the Qt 6 headers), a DLL of its own.
if [ ! -f "$prefix/.qcustomplot-$qcp_key" ]; then
say "fetching and building Debian's $qcp_source"
fetch "$qcp_source" qcustomplot
cmake -S "$work/src/qcustomplot" -B "$work/qcp-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DUSE_QT_VERSION=6 -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${host[@]}" >"$work/qcp.log" 2>&1 &&
    nice -n 10 cmake --build "$work/qcp-build" -j "$jobs" >>"$work/qcp.log" 2>&1 &&
    cmake --install "$work/qcp-build" >>"$work/qcp.log" 2>&1 || {
    tail -n 40 "$work/qcp.log" >&2
    say "the QCustomPlot build failed; the whole log is $work/qcp.log"
    exit 1
}
touch "$prefix/.qcustomplot-$qcp_key"
fi

# The MQTT client library alone (no broker, tools or TLS: mingw has no OpenSSL here), a DLL of its own;
# the program runs its network loop itself, so no threading library is needed either.
if [ ! -f "$prefix/.libmosquitto-$mosquitto_key" ]; then
    say "fetching and building Debian's $mosquitto_source"
    fetch "$mosquitto_source" mosquitto
    cmake -S "$work/src/mosquitto" -B "$work/mosquitto-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DWITH_TLS=OFF -DWITH_TLS_PSK=OFF \
        -DWITH_CJSON=OFF -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF -DWITH_PLUGINS=OFF \
        -DWITH_LIB_CPP=OFF -DWITH_THREADING=OFF -DDOCUMENTATION=OFF -DWITH_SRV=OFF >"$work/mosquitto.log" 2>&1 &&
        nice -n 10 cmake --build "$work/mosquitto-build" -j "$jobs" >>"$work/mosquitto.log" 2>&1 &&
        cmake --install "$work/mosquitto-build" >>"$work/mosquitto.log" 2>&1 &&
        # Its install leaves out the import library that linking with the DLL needs.
        cp "$(find "$work/mosquitto-build" -name 'libmosquitto.dll.a' | head -n 1)" "$prefix/lib/" || {
        tail -n 40 "$work/mosquitto.log" >&2
        say "the libmosquitto build failed; the whole log is $work/mosquitto.log"
        exit 1
    }
    touch "$prefix/.libmosquitto-$mosquitto_key"
fi

# The reports' workbooks: zlib and libxlsxwriter (its own minizip inside) as static libraries, so the
# program and the archive tool carry no DLL more.
if [ ! -f "$prefix/.libxlsxwriter-$xlsxwriter_key" ]; then
    say "fetching and building Debian's $zlib_source and $xlsxwriter_source"
    fetch "$zlib_source" zlib
    log=$work/xlsxwriter.log
    # Only its static library, under the name a link with -lz looks for; zconf.h is the one CMake made.
    cmake -S "$work/src/zlib" -B "$work/zlib-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release >"$log" 2>&1 &&
        nice -n 10 cmake --build "$work/zlib-build" -j "$jobs" --target zlibstatic >>"$log" 2>&1 &&
        mkdir -p "$prefix/include" "$prefix/lib" &&
        cp "$work/src/zlib/zlib.h" "$work/zlib-build/zconf.h" "$prefix/include/" &&
        cp "$work/zlib-build/libzlibstatic.a" "$prefix/lib/libz.a" || {
        tail -n 40 "$log" >&2
        say "the zlib build failed; the whole log is $log"
        exit 1
    }
    fetch "$xlsxwriter_source" libxlsxwriter
    cmake -S "$work/src/libxlsxwriter" -B "$work/xlsxwriter-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF \
        -DBUILD_EXAMPLES=OFF -DUSE_SYSTEM_MINIZIP=OFF -DZLIB_INCLUDE_DIR="$prefix/include" \
        -DZLIB_LIBRARY="$prefix/lib/libz.a" >>"$log" 2>&1 &&
        nice -n 10 cmake --build "$work/xlsxwriter-build" -j "$jobs" >>"$log" 2>&1 &&
        cmake --install "$work/xlsxwriter-build" >>"$log" 2>&1 &&
        [ -f "$prefix/lib/libxlsxwriter.a" ] && [ -f "$prefix/include/xlsxwriter.h" ] || {
        tail -n 40 "$log" >&2
        say "the libxlsxwriter build failed; the whole log is $log"
        exit 1
    }
    touch "$prefix/.libxlsxwriter-$xlsxwriter_key"
fi
ensure_extras

rm -rf "$work"
say "done in $(($(date +%s) - started)) s: $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix"
