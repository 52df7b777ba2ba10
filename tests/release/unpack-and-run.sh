#!/usr/bin/env bash
# Makes the release archive from the build, unpacks it into a temporary folder, starts the program
# through its start script with the simulated plant for a few seconds, ends it with SIGTERM and
# looks for the archive and the settings file inside the unpacked folder, as a station would.
# Usage: unpack-and-run.sh BUILD_DIR RELEASE_NAME
set -euo pipefail
build=$1
name=$2
export QT_QPA_PLATFORM=offscreen

source "$(dirname "$0")/../support/station-rig.sh" release

cpack --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1 || {
    cat "$tmp/cpack.log" >&2
    fail "cpack could not make the archive"
}
archive=$tmp/package/$name.tar.gz
[ -f "$archive" ] || fail "no $name.tar.gz; cpack made: $(ls "$tmp/package")"

mkdir "$tmp/station"
tar -xzf "$archive" -C "$tmp/station"
release=$tmp/station/$name
for file in Registrator registrator-archive registrator-scan registrator.sh; do
    [ -x "$release/$file" ] || fail "$file is missing or not executable"
done
for file in registrator.desktop registrator.svg registrator.service README.md LICENSE; do
    [ -s "$release/$file" ] || fail "$file is missing"
done
[ -d "$release/Data" ] || fail "the release has no Data folder"
[ -s "$release/translations/qtbase_ru.qm" ] || fail "the release lacks Qt's Russian translations"
[ -z "$(ls -A "$release/Data")" ] || fail "Data is not empty in the release"
[ ! -e "$release/Registrator.INI" ] || fail "the release carries a settings file"
# Started with the desktop session: an autostart entry that runs this release's start script.
XDG_CONFIG_HOME=$tmp/config "$release/registrator.sh" --autostart >/dev/null
grep -qx "Exec=\"$release/registrator.sh\"" "$tmp/config/autostart/registrator.desktop" ||
    fail "no autostart entry for this release: $(cat "$tmp/config/autostart/registrator.desktop")"

# Started from elsewhere, the program still keeps everything in its own folder.
mkdir "$tmp/elsewhere"
cd "$tmp/elsewhere"
"$release/registrator.sh" --simulate >"$tmp/program.log" 2>&1 &
pid=$!
pids+=($pid)
wait_for 60 day_past "$release/Data" 0 || true
kill -0 "$pid" 2>/dev/null || {
    cat "$tmp/program.log" >&2
    fail "the program ended by itself"
}
kill -TERM "$pid"
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end on SIGTERM"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || {
    cat "$tmp/program.log" >&2
    fail "the program ended with status $status after SIGTERM"
}

settings=$release/Registrator.INI
[ -s "$settings" ] || fail "no settings file beside the program after the end"
grep -q '^\[Ustavki72\]' "$settings" || fail "the settings file lacks channel 72"
readings=$(find "$release/Data" -name '??.??.????.txt' | head -n 1)
[ -n "$readings" ] || fail "no readings file in Data: $(ls "$release/Data")"
size=$(stat -c %s "$readings")
[ "$size" -ge 584 ] && [ $((size % 584)) -eq 0 ] || fail "readings file of $size bytes is not whole 584-byte records"
[ -z "$(ls -A "$tmp/elsewhere")" ] || fail "the program wrote into the working folder it was started from"

# One program per folder: a second start ends with its message and status 3 and touches no file; the
# first's lock, left behind by SIGKILL, does not stop the next start.
stop() { # PID: SIGTERM, then its exit status in $status once it has ended
    kill -TERM "$1"
    status=0
    wait "$1" || status=$?
}
before=$(day_size "$release/Data")
"$release/registrator.sh" --simulate >"$tmp/first.log" 2>&1 &
pid=$!
pids+=($pid)
wait_for 60 day_past "$release/Data" "$before" || fail "the first program does not record: $(cat "$tmp/first.log")"
listing() { (cd "$release" && find . -newer "$tmp/mark" -type f ! -name '*.lock' ! -name '??.??.????.txt' ! -name '??.??.????.events.csv' | sort); }
touch "$tmp/mark"
"$release/registrator.sh" --simulate >"$tmp/second.log" 2>&1 &
second=$!
pids+=($second)
wait_for 60 grep -q "уже запущен с этим файлом настроек (процесс $pid)" "$tmp/second.log" ||
    fail "a second program on the same folder did not say that one runs: $(cat "$tmp/second.log")"
stop "$second"
[ "$status" -eq 3 ] || fail "the second program ended with status $status, not 3"
[ -z "$(listing)" ] || fail "the second program touched: $(listing)"
kill -KILL "$pid"
wait "$pid" 2>/dev/null || true
pid=
before=$(day_size "$release/Data")
"$release/registrator.sh" --simulate >"$tmp/third.log" 2>&1 &
pid=$!
pids+=($pid)
wait_for 60 day_past "$release/Data" "$before" || fail "a start after SIGKILL does not record: $(cat "$tmp/third.log")"
kill -0 "$pid" 2>/dev/null || fail "a start after SIGKILL was refused: $(cat "$tmp/third.log")"
stop "$pid"
pid=
[ "$status" -eq 0 ] || fail "the start after SIGKILL ended with status $status"
[ ! -e "$release/Registrator.INI.lock" ] && [ ! -e "$release/Data/registrator.lock" ] ||
    fail "an orderly end left its lock files"

# Help needs no display, and names the settings file.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$release/Registrator" --help) ||
    fail "--help without a display ended with status $?"
grep -q "Settings are kept in $release/Registrator.INI" <<<"$help" || fail "the help does not name the settings file"

# A port that cannot be opened: its box, a line on standard error naming the port, status 1.
"$release/registrator.sh" --port "$tmp/no-such-port" >"$tmp/port.log" 2>&1 &
pid=$!
pids+=($pid)
wait_for 60 grep -q "cannot open $tmp/no-such-port" "$tmp/port.log" || fail "no word of the port: $(cat "$tmp/port.log")"
stop "$pid"
pid=
[ "$status" -eq 1 ] || fail "a start without its port ended with status $status, not 1"

# The two tools run from the folder as well.
"$release/registrator-archive" readings "$readings" --channels 1 >"$tmp/export.csv" ||
    fail "registrator-archive cannot read the archive the program wrote"
[ "$(wc -l <"$tmp/export.csv")" -ge 2 ] || fail "the export holds no records"
"$release/registrator-scan" --simulate --csv --settings "$settings" >"$tmp/scan.csv" ||
    fail "registrator-scan failed on the simulated plant"
[ "$(head -n 1 "$tmp/scan.csv" | tr ',' '\n' | wc -l)" -eq 145 ] || fail "registrator-scan's CSV lacks columns"

# A station without QCustomPlot is told which package to install.
mkdir "$tmp/bin"
printf '#!/bin/sh\necho "\tlibQCustomPlotQt6.so.2.1 => not found"\necho "\tlibQt6Core.so.6 => not found"\n' >"$tmp/bin/ldd"
chmod +x "$tmp/bin/ldd"
status=0
PATH="$tmp/bin:$PATH" "$release/registrator.sh" --simulate >"$tmp/missing.log" 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "the start script started the program without its libraries"
grep -q 'sudo apt-get install libqcustomplot2.1-qt6 libqt6core6' "$tmp/missing.log" || {
    cat "$tmp/missing.log" >&2
    fail "the start script did not name the missing packages"
}
echo "release $name: unpacked, ran, archived $((size / 584)) records and saved its settings"
