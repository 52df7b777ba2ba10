#!/usr/bin/env bash
# Makes the Windows release, build-windows-gui/package/registrator-<version>-windows-x86_64.zip: the
# three executables with the Qt, QCustomPlot, libmosquitto and MinGW runtime DLLs beside them, the platforms
# and styles plugin folders (offscreen too, for the headless recorder's reports, with the fonts it draws
# them in), Qt's Russian translations, an empty Data folder, the README and the licence.
# Unzipped anywhere, Registrator.exe runs from its own folder. Beside it the installer,
# registrator-<version>-x64.msi (packaging/windows/registrator.wxs, built with wixl), of the same files.
# Builds the Qt cache (scripts/windows-qt.sh) and the windows-gui preset first when they are missing.
# Prints the zip's path, then the installer's.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages zip wixl "${WINDOWS_QT_PACKAGES[@]}"

started=$(date +%s)
REGISTRATOR_WINDOWS_QT=$(bash scripts/windows-qt.sh | tail -n 1)
export REGISTRATOR_WINDOWS_QT
use_compiler_cache
build=${REGISTRATOR_WINDOWS_GUI_BUILD_DIR:-$PWD/build-windows-gui}
cmake --preset windows-gui -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Registrator registrator-archive registrator-scan

version=$(cat "$build/version.txt")
name=registrator-$version-windows-x86_64
stage=$build/package/$name
rm -rf "$stage" "$build/package/$name.zip"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/fonts" "$stage/Data"

cp "$build/Registrator.exe" "$build/tools/registrator-archive/registrator-archive.exe" \
    "$build/tools/registrator-scan/registrator-scan.exe" "$stage/"
qt=$REGISTRATOR_WINDOWS_QT
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Network Qt6PrintSupport; do
    cp "$qt/bin/$dll.dll" "$stage/"
done
cp "$(find "$qt" -name 'libQCustomPlotQt6*.dll' -o -name 'QCustomPlotQt6*.dll' | head -n 1)" "$stage/"
cp "$qt/bin/libmosquitto.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$stage/platforms/"
cp "$qt"/lib/fonts/DejaVuSans.ttf "$qt"/lib/fonts/DejaVuSans-Bold.ttf "$stage/fonts/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# The runtime the Qt DLLs and the program share (posix threads).
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do
    cp "$runtime/$dll" "$stage/"
done
cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
cp /usr/share/qt6/translations/qtbase_ru.qm "$stage/translations/"
# The README and the licence with Windows line ends, for Notepad.
sed 's/$/\r/' README.md >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
x86_64-w64-mingw32-strip "$stage"/*.exe
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/platforms/*.dll "$stage"/styles/*.dll

(cd "$build/package" && zip -qr9 "$name.zip" "$name")

# The installer: every staged file a component of its own (wixl-heat names each by its path, so an upgrade
# finds the same component codes); the empty Data folder is the installer's own, made at install.
msi=$build/package/registrator-$version-x64.msi
rm -f "$msi"
(cd "$build/package" && find "$name" -type f | sort |
    wixl-heat -p "$name/" --component-group ProgramFiles --var var.Stage --directory-ref INSTALLDIR --win64) \
    >"$build/package/files.wxs"
# Windows Installer versions are numbers only: 0.2 from 0.2, 1.4.2 from 1.4.2-rc1.
msi_version=$(grep -oE '^[0-9]+(\.[0-9]+){0,2}' <<<"$version")
# wixl finds the files by paths relative to where it runs.
(cd "$build/package" && wixl -a x64 -D Version="$msi_version" -D Stage="$name" -D Win64=yes -o "$msi" \
    "$OLDPWD/packaging/windows/registrator.wxs" files.wxs)

for package in "$build/package/$name.zip" "$msi"; do
    echo "package-windows: $package ($(du -h "$package" | cut -f1))" >&2
done
echo "package-windows: made in $(($(date +%s) - started)) s" >&2
echo "$build/package/$name.zip"
echo "$msi"
