#!/usr/bin/env bash
# A power cut, end to end: the program is killed outright in the middle of a record, its day file left
# with a torn last record; started again, it aligns to whole records and records on, and the day
# summary shows the outage as time without data.
# Usage: power-cut.sh REGISTRATOR REGISTRATOR_ARCHIVE
set -euo pipefail
program=$(realpath "$1")
tool=$(realpath "$2")
source "$(dirname "$0")/../support/station-rig.sh" power-cut

make_station station
cd "$tmp/station"
export QT_QPA_PLATFORM=offscreen

./Registrator --simulate >"$tmp/first.log" 2>&1 &
pids+=($!)
wait_for 60 day_past Data $((2 * 584)) || fail "the first run did not record: $(cat "$tmp/first.log")"
kill -KILL $!
wait $! 2>/dev/null || true
day=$(ls Data | grep -E '^[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.txt$' | head -n 1)
before=$(stat -c %s "Data/$day")
# The write the cut interrupted: part of a record.
head -c 200 /dev/urandom >>"Data/$day"

sleep 4
./Registrator --simulate >"$tmp/second.log" 2>&1 &
pids+=($!)
# The torn tail cut off, then three records more.
wait_for 60 day_past Data $((before / 584 * 584 + 3 * 584 - 1)) || fail "the second run did not record on: $(cat "$tmp/second.log")"
kill -TERM $!
status=0
wait $! || status=$?
[ "$status" -eq 0 ] || fail "the second run ended with status $status: $(cat "$tmp/second.log")"

size=$(stat -c %s "Data/$day")
[ $((size % 584)) -eq 0 ] || fail "the day file of $size bytes is not whole records"
[ $((size / 584)) -ge $((before / 584 + 3)) ] || fail "too few records after the restart: $((size / 584))"
grep -q '^\[Ustavki72\]' Registrator.INI || fail "the settings were not saved at the orderly end"
# The journal tells the cut: the second start names the last record and the gap, and ends in order.
journal="Data/${day%.txt}.events.csv"
grep -qE ';запуск программы;;;;;;;после сбоя: последняя запись [0-9.]+ [0-9:]+, перерыв [0-9]+ с, имитация' "$journal" ||
    fail "the journal does not tell the cut: $(grep 'запуск' "$journal")"
tail -n 1 "$journal" | grep -q ';завершение программы;' || fail "the journal does not end in order"
# The outage of about four seconds and more: no data, not a motor switched off or running.
"$tool" summary "Data/$day" >"$tmp/summary.csv"
python3 - "$tmp/summary.csv" <<'PY'
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8")))
assert len(rows) == 72, len(rows)
gap = float(rows[0]["no_data_seconds"])
assert gap >= 3, f"the outage shows as {gap} s without data"
print(f"power-cut: torn record replaced, {rows[0]['records']} records, outage {gap} s without data")
PY
