#!/usr/bin/env bash
# The Debian package installed here; its unit's ExecStart run as it stands, as the unit's user, with
# --simulate; a later build installed over it, which must find the settings and every record unchanged;
# then purged, which keeps only the archive. Refuses a machine that has the recorder, and leaves this one
# as it found it (the user and the archive that a purge keeps go too). Usage (root): SCRIPT FIRST.deb LATER.deb
set -euo pipefail
first=$(realpath "$1") later=$(realpath "$2") state=/var/lib/registrator unit=/lib/systemd/system/registrator.service
fail() { echo "FAIL: $*" >&2 && exit 1; }
! dpkg-query -W registrator >/dev/null 2>&1 && [ ! -e $state ] || fail "this machine has the recorder already"
had_user=$(getent passwd registrator || true)
tmp=$(mktemp -d) pid=
cleanup() {
    [ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq registrator >/dev/null 2>&1 || true
    rm -rf $state "$tmp"
    [ -n "$had_user" ] || ! getent passwd registrator >/dev/null || deluser --quiet --system registrator 2>/dev/null
    [ -n "$had_user" ] || ! getent group registrator >/dev/null || delgroup --quiet --system registrator
}
trap cleanup EXIT
apt() { DEBIAN_FRONTEND=noninteractive apt-get -y "$@" >"$tmp/apt.log" 2>&1 || fail "apt-get $*: $(cat "$tmp/apt.log")"; }
records() { cat $state/Data/??.??.????.txt 2>/dev/null | wc -c | awk '{ print int($1 / 584) }'; }
sums() { (cd $state && find . -type f ! -name '*.lock' -print0 | sort -z | xargs -0 sha256sum); }

apt install "$first"
[ "$(registrator --version)" = "Registrator $(dpkg-query -W -f='${Version}' registrator)" ] || fail "--version"
[ "$(id -nG registrator)" = "registrator lp" ] || fail "registrator's groups: $(id -nG registrator)"
[ "$(stat -c '%U:%G %a' $state/Data)" = "registrator:lp 2775" ] || fail "Data is $(stat -c '%U:%G %a' $state/Data)"
[ -z "$(systemd-analyze verify $unit 2>&1)" ] || fail "$(systemd-analyze verify $unit 2>&1)"
bash "$(dirname "$0")/../../scripts/demo-settings.sh" $state/Registrator.INI
chown registrator:lp $state/Registrator.INI
touch "$tmp/mark"
exec_start=$(sed -n 's/^ExecStart=//p' $unit)
# shellcheck disable=SC2046,SC2086 # the unit's words, as systemd splits them
(cd "$(sed -n 's/^WorkingDirectory=//p' $unit)" && umask "$(sed -n 's/^UMask=//p' $unit)" &&
    exec setpriv --reuid=$(sed -n 's/^User=//p' $unit) --regid=$(sed -n 's/^Group=//p' $unit) --init-groups \
        --reset-env $exec_start --simulate) >"$tmp/run.log" 2>&1 &
pid=$!
for _ in $(seq 300); do
    [ "$(records)" -lt 3 ] && kill -0 $pid 2>/dev/null || break
    sleep 0.2
done
[ "$(records)" -ge 3 ] || fail "no three records within a minute: $(cat "$tmp/run.log")"
kill -TERM $pid && wait $pid || fail "no orderly end: $(cat "$tmp/run.log")"
pid=
# Saved through the link, which stays: nothing is written beside the program.
[ -L /usr/lib/registrator/Registrator.INI ] && [ $state/Registrator.INI -nt "$tmp/mark" ] || fail "settings not saved"
[ -z "$(find /usr/lib/registrator -newer "$tmp/mark")" ] || fail "written beside the program"
iconv -f CP1251 $state/Registrator.INI | grep -q '^Name=Рыхлитель питателя 710' || fail "the calibration is lost"

sums >"$tmp/before"
apt install "$later"
[ "$(registrator --version)" = "Registrator $(dpkg-deb -f "$later" Version)" ] || fail "--version after the upgrade"
sums | cmp - "$tmp/before" || fail "the upgrade changed the settings or the archive"
apt remove registrator
sums | cmp - "$tmp/before" || fail "the removal changed the settings or the archive"
apt purge registrator
grep -q "the archive is kept in $state/Data" "$tmp/apt.log" || fail "the purge did not say where the archive is"
grep ' ./Data/' "$tmp/before" | cmp - <(sums) || fail "the purge did not leave just the archive"
[ -z "$(find /etc/systemd /var/lib/systemd -name 'registrator*')" ] || fail "the purge left systemd state"
echo "deb: installed, recorded $(records) records as registrator, upgraded keeping them and the settings, purged"
