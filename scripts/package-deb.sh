#!/usr/bin/env bash
# Makes the Debian package, build-deb/package/registrator_<version>_<arch>.deb, from this clone: the
# program and its two tools built with Debian's hardening flags and laid out as the file system
# hierarchy asks (README.md, "The Debian package"), their library dependencies found by
# dpkg-shlibdeps, the menu entry and icon, a manual page of each command's --help, the service unit,
# and the maintainer scripts of packaging/deb. `--version V` builds the same sources as version V:
# the later package of the upgrade test. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${RUN_PACKAGES[@]}" "${DEB_PACKAGES[@]}"

override=
if [ "${1:-}" = --version ]; then
    override=${2:?--version needs a version}
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--version VERSION]" >&2
    exit 2
fi

use_compiler_cache
started=$(date +%s)
build=${REGISTRATOR_DEB_BUILD_DIR:-$PWD/build-deb}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake --preset run -B "$build" -DREGISTRATOR_VERSION_OVERRIDE="$override" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j "$(nproc)" --target Registrator registrator-archive registrator-scan
version=$(cat "$build/version.txt")
arch=$(dpkg --print-architecture)

work=$build/deb
root=$work/root
lib=$root/usr/lib/registrator
rm -rf "$work"
install -d -m 0755 "$lib" "$root/usr/bin" "$root/lib/systemd/system" "$root/usr/share/applications" \
    "$root/usr/share/icons/hicolor/scalable/apps" "$root/usr/share/man/man1" "$root/usr/share/doc/registrator" \
    "$root/DEBIAN" "$work/debian" "$build/package"

install -m 0755 "$build/Registrator" "$build/tools/registrator-archive/registrator-archive" \
    "$build/tools/registrator-scan/registrator-scan" "$lib/"
strip --remove-section=.comment --remove-section=.note "$lib"/*
# The settings file stays beside the executable, where the program keeps it; its writes follow the
# link to where the running program may write.
ln -s /var/lib/registrator/Registrator.INI "$lib/Registrator.INI"
install -m 0755 packaging/deb/registrator "$root/usr/bin/registrator"
ln -s ../lib/registrator/registrator-archive "$root/usr/bin/registrator-archive"
ln -s ../lib/registrator/registrator-scan "$root/usr/bin/registrator-scan"

# The project's unit with the installed paths; each change is checked, so that a changed unit fails here.
sed -e '1,/^\[Unit\]/{/^#/d}' \
    -e 's#^Documentation=.*#Documentation=man:registrator(1)#' \
    -e 's#^ExecStart=/opt/registrator/Registrator #ExecStart=/usr/lib/registrator/Registrator #' \
    -e 's#^WorkingDirectory=.*#WorkingDirectory=/var/lib/registrator#' \
    -e 's#^SupplementaryGroups=lp$#&\n\# Files stay writable by the operators of the desktop program, in the group lp.\nUMask=0002\nProtectSystem=full#' \
    packaging/registrator.service >"$work/unit"
{
    echo "# Registrator as a service: records without anyone logged in, started at boot and again after a"
    echo "# failure or a hung scan, as the user registrator (with the group lp for /dev/parport0) in"
    echo "# /var/lib/registrator. The package does not enable it: systemctl enable --now registrator"
    cat "$work/unit"
} >"$root/lib/systemd/system/registrator.service"
for line in 'ExecStart=/usr/lib/registrator/Registrator --headless' 'WorkingDirectory=/var/lib/registrator' \
    'User=registrator' 'UMask=0002' 'Documentation=man:registrator(1)'; do
    grep -qx "$line" "$root/lib/systemd/system/registrator.service" || {
        echo "package-deb: the unit lacks: $line" >&2
        exit 1
    }
done
sed 's#^Exec=.*#Exec=registrator#' packaging/registrator.desktop >"$root/usr/share/applications/registrator.desktop"
grep -qx 'Exec=registrator' "$root/usr/share/applications/registrator.desktop"
install -m 0644 packaging/registrator.svg "$root/usr/share/icons/hicolor/scalable/apps/registrator.svg"

# Manual pages: each command's --help as it stands, under a name and a date.
epoch=$(git log -1 --format=%ct 2>/dev/null || date +%s)
man_page() { # NAME SUMMARY [FILES-SECTION], the help on standard input
    {
        printf '.TH %s 1 "%s" "registrator %s" "User Commands"\n' "${1^^}" "$(date -u -d "@$epoch" +%F)" "$version"
        printf '.SH NAME\n%s \\- %s\n.SH DESCRIPTION\n.nf\n' "$1" "$2"
        sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\\&&/"
        printf '.fi\n'
        [ -z "${3:-}" ] || printf '.SH FILES\n%s\n' "$3"
        printf '.SH SEE ALSO\n/usr/share/doc/registrator/README.md.gz\n'
    } | gzip -9n >"$root/usr/share/man/man1/$1.1.gz"
}
"$lib/Registrator" --help | sed -e "s#$root##g" -e 's/^Usage: Registrator /Usage: registrator /' |
    man_page registrator "record and show the currents of the plant's motors" \
        "$(printf '.nf\n%s\n.fi' '/var/lib/registrator/Registrator.INI   the settings (through the link beside the program)
/var/lib/registrator/Data/             the archive: day files, journals, digests, MQTT cursors
/lib/systemd/system/registrator.service    the headless recorder as a service')"
"$lib/registrator-archive" --help | man_page registrator-archive "export and summarise the recorder's archive"
"$lib/registrator-scan" --help | man_page registrator-scan "check the converters and the parallel port"

gzip -9nc README.md >"$root/usr/share/doc/registrator/README.md.gz"
years=$(git log --reverse --format=%cd --date=format:%Y 2>/dev/null | sed -n '1p;$p' | uniq | paste -sd-)
sed "s/@YEARS@/${years:-$(date +%Y)}/" packaging/deb/copyright >"$root/usr/share/doc/registrator/copyright"
maintainer="${DEBFULLNAME:-$(git config user.name || echo Registrator)} <${DEBEMAIL:-$(git config user.email || echo registrator@localhost)}>"
{
    printf 'registrator (%s) unstable; urgency=medium\n\n' "$version"
    printf '  * Built from %s.\n\n' "$(git describe --always --dirty 2>/dev/null || echo 'a source tree')"
    printf ' -- %s  %s\n' "$maintainer" "$(date -R -u -d "@$epoch")"
} | gzip -9n >"$root/usr/share/doc/registrator/changelog.gz"

install -m 0755 packaging/deb/postinst packaging/deb/prerm packaging/deb/postrm "$root/DEBIAN/"
printf 'Source: registrator\n\nPackage: registrator\nArchitecture: any\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O root/usr/lib/registrator/Registrator \
    root/usr/lib/registrator/registrator-archive root/usr/lib/registrator/registrator-scan |
    sed -n 's/^shlibs:Depends=//p')
cat >"$root/DEBIAN/control" <<EOF
Package: registrator
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: adduser, fonts-dejavu-core, $shlibs
Recommends: qt6-translations-l10n
Section: misc
Priority: optional
Description: recorder and mimic-panel monitor of motor currents
 Registrator reads the currents of a plant's 72 motors (six sections of twelve)
 from serial converters behind an 8255 interface on the parallel port, shows
 them on a mimic panel, journals starts, overloads and converter faults, and
 appends one record a second to a day archive. Its user interface is Russian.
 .
 The package holds the desktop program, the headless recorder as the systemd
 service registrator.service (not enabled), and the tools registrator-archive
 (exports and summaries of the archive) and registrator-scan (a check of the
 converters).
EOF
(cd "$root" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb=$build/package/registrator_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "package-deb: $deb ($(du -h "$deb" | cut -f1), installed $(du -sh --exclude=DEBIAN "$root" | cut -f1)) in" \
    "$(($(date +%s) - started)) s" >&2
echo "$deb"
