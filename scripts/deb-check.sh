#!/usr/bin/env bash
# The Debian package checked as .ci/run checks it: made from this clone (scripts/package-deb.sh), passed
# by lintian without an error, then installed on this machine, run, upgraded by a later build of the
# same sources, removed and purged (tests/package/install-upgrade-purge.sh, which leaves the machine as
# it found it). Installing needs root, or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
# lintian, and systemd for systemd-analyze, which checks the installed unit.
ensure_packages "${RUN_PACKAGES[@]}" "${DEB_PACKAGES[@]}" lintian systemd

first=$(bash scripts/package-deb.sh | tail -n 1)
version=$(dpkg-deb --field "$first" Version)
later=$(bash scripts/package-deb.sh --version "$version.1" | tail -n 1)
# Its warnings are listed in README.md, "The Debian package", with why they stay.
lintian --fail-on error --tag-display-limit 0 "$first"

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"${sudo[@]}" bash tests/package/install-upgrade-purge.sh "$first" "$later"
