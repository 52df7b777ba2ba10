#!/usr/bin/env bash
# The Windows installer and service as a station's IT meets them, under wine: a silent install into
# C:\Registrator, the service registered with a simulated plant and the web view, started, recording one
# record a second for twenty seconds, a second recorder on the same folder refused, stopped in order (the
# settings saved again, the journal's end line), a higher version installed over it, the service removed,
# the program uninstalled, and the settings file and the records still there.
# Usage: windows-install-check.sh MSI (made by scripts/package-windows.sh, its staged files beside it)
set -euo pipefail
msi=$(realpath "$1")
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages curl python3 "${WINDOWS_PACKAGES[@]}"

started=$(date +%s)
source scripts/wine-session.sh install
# Waits up to $1 seconds for the command after it to succeed; false when it never did.
wait_for() {
    local deadline=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.5
    done
}

# The prefix made and everything it started ended first: a server kept from the start may get two
# service control managers in one prefix, each answering some of the requests.
wine wineboot --init >/dev/null 2>&1 || true
wineserver -w
wineserver -p
home=$WINEPREFIX/drive_c/Registrator
exe='C:\Registrator\Registrator.exe'

# A higher version of the same files, for the upgrade.
version=$(basename "$msi" | sed -E 's/^registrator-(.*)-x64\.msi$/\1/')
stage=$(dirname "$msi")/registrator-$version-windows-x86_64
[ -d "$stage" ] && [ -f "$(dirname "$msi")/files.wxs" ] || fail "no staged files beside $msi"
msi_version=$(grep -oE '^[0-9]+(\.[0-9]+){0,2}' <<<"$version")
IFS=. read -r major minor patch <<<"$msi_version"
(cd "$(dirname "$msi")" && wixl -a x64 -D Version="$major.${minor:-0}.$((${patch:-0} + 1))" \
    -D Stage="$(basename "$stage")" -D Win64=yes -o "$tmp/upgrade.msi" "$OLDPWD/packaging/windows/registrator.wxs" files.wxs)

wine msiexec /i "$(winepath -w "$msi")" /qn || fail "the silent install ended with $?"
[ -f "$home/Registrator.exe" ] && [ -f "$home/platforms/qwindows.dll" ] || fail "nothing in C:\\Registrator: $(ls "$home" 2>&1)"
[ -d "$home/Data" ] || fail "the install made no Data folder"
[ -n "$(find "$WINEPREFIX/drive_c" -ipath '*Start Menu/Programs/Registrator/Registrator.lnk')" ] ||
    fail "no Start-menu shortcut"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    grep -q 'DisplayName.*Registrator' || fail "no uninstaller entry"

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
web=$(free_port)
wine "$exe" --service install --simulate --web "127.0.0.1:$web" >"$tmp/install.log" 2>&1 ||
    fail "--service install: $(cat "$tmp/install.log")"
wine net start Registrator >"$tmp/start.log" 2>&1 || fail "net start: $(cat "$tmp/start.log")"
running() { wine "$exe" --service status >"$tmp/status.log" 2>&1 && grep -q 'is running' "$tmp/status.log"; }
wait_for 60 running || fail "--service status: $(cat "$tmp/status.log")"

# The service's web view: the operator's window on a recorder nobody is logged in to.
wait_for 60 curl -sf --max-time 1 "http://127.0.0.1:$web/health" -o "$tmp/health.json" ||
    fail "the service's web view never answered"
grep -q '"port":"simulated"' "$tmp/health.json" || fail "health: $(cat "$tmp/health.json")"
day_file() { ls "$home/Data" 2>/dev/null | grep -E '^[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.txt$' | head -n 1; }
has_day_file() { [ -n "$(day_file)" ]; }
wait_for 30 has_day_file || fail "no day file in Data: $(ls "$home/Data")"
day=$home/Data/$(day_file)
# Twenty seconds of records by the day file's own count.
records_at_least() { [ "$(stat -c %s "$day")" -ge $(($1 * 584)) ]; }
wait_for 60 records_at_least 21 || fail "$(($(stat -c %s "$day") / 584)) records in a minute"

# The desktop program on the same folder: the one-recorder refusal, status 3, nothing touched.
size_before=$(stat -c %s "$day")
status=0
(cd "$home" && wine ./Registrator.exe --headless --simulate) >"$tmp/second.log" 2>&1 || status=$?
[ "$status" -eq 3 ] || fail "a second recorder ended with $status: $(cat "$tmp/second.log")"
grep -q '^Registrator: ' "$tmp/second.log" || fail "the second recorder said nothing"
# The service records on: a record after the refusal (the refusal may take less than a second).
grown() { [ "$(stat -c %s "$day")" -gt "$size_before" ]; }
wait_for 30 grown || fail "the recorder stopped recording when a second one was started"

# The end the control manager asks for: the settings written again, the journal closed.
rm -f "$home/Registrator.INI" # none yet unless a stop wrote one
wine net stop Registrator >"$tmp/stop.log" 2>&1 || fail "net stop: $(cat "$tmp/stop.log")"
stopped() { ! wine "$exe" --service status >"$tmp/status.log" 2>&1 && grep -q 'is stopped' "$tmp/status.log"; }
wait_for 60 stopped || fail "after net stop: $(cat "$tmp/status.log")"
[ "$(grep -c '^\[Ustavki' "$home/Registrator.INI" 2>/dev/null)" -eq 72 ] || fail "the settings were not saved at the stop"
journal=$(ls "$home/Data"/*.events.csv | tail -n 1)
tail -n 1 "$journal" | grep -q 'завершение программы' ||
    fail "the journal does not end with the program's end: $(tail -n 2 "$journal")"
size=$(stat -c %s "$day")
[ $((size % 584)) -eq 0 ] || fail "the day file of $size bytes is not whole 584-byte records"
records=$((size / 584))
span=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
times = [struct.unpack_from("<d", data, i * 584)[0] for i in range(len(data) // 584)]
print(round((times[-1] - times[0]) * 86400) + 1)' "$day")
# The one-second timer is a coarse one, which Qt lets fire up to 5 % early: a record more in twenty seconds.
[ $((records - span)) -le $((1 + span / 20)) ] && [ $((span - records)) -le 2 ] || fail "$records records over $span seconds"

# A higher version over this one keeps the settings, the records and the service's registration.
cp "$home/Registrator.INI" "$tmp/settings.before"
wine msiexec /i "$(winepath -w "$tmp/upgrade.msi")" /qn || fail "the upgrade ended with $?"
[ -f "$home/Registrator.exe" ] || fail "the upgrade left no program"
cmp -s "$home/Registrator.INI" "$tmp/settings.before" || fail "the upgrade changed the settings file"
[ "$(stat -c %s "$day")" -eq "$size" ] || fail "the upgrade changed the day file"
wine "$exe" --service status >"$tmp/status.log" 2>&1 || true
grep -q 'is stopped' "$tmp/status.log" || fail "the upgrade lost the service: $(cat "$tmp/status.log")"
[ "$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    grep -c 'DisplayName.*Registrator')" -eq 1 ] || fail "two versions in the uninstaller list after the upgrade"

wine "$exe" --service remove >"$tmp/remove.log" 2>&1 || fail "--service remove: $(cat "$tmp/remove.log")"
status=0
wine "$exe" --service status >"$tmp/status.log" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q 'not installed' "$tmp/status.log" || fail "after remove: $(cat "$tmp/status.log")"

wine msiexec /x "$(winepath -w "$tmp/upgrade.msi")" /qn || fail "the silent uninstall ended with $?"
[ ! -e "$home/Registrator.exe" ] && [ ! -e "$home/Qt6Core.dll" ] || fail "the uninstall left the program"
[ -f "$home/Registrator.INI" ] || fail "the uninstall removed Registrator.INI"
[ "$(stat -c %s "$day" 2>/dev/null)" = "$size" ] || fail "the uninstall removed or changed the records"
[ -f "$journal" ] || fail "the uninstall removed the journal"
echo "windows-install-check: silent install, the service recording $records records over $span s and stopping" \
    "in order, a second recorder refused, the upgrade, the removal and the uninstall keeping Data and the" \
    "settings, in $(($(date +%s) - started)) s"
