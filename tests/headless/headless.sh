#!/usr/bin/env bash
# The recorder without windows or a display, as its systemd unit runs it: one record a second, Modbus
# and /health answering, systemd told it is ready, an orderly end with the settings saved on SIGTERM,
# SIGINT and SIGHUP; a port that is not there said on standard error; the unit itself checked.
# Usage: headless.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../support/station-rig.sh" headless

make_station station
cd "$tmp/station"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# systemd's side of the notify socket.
python3 - "$tmp/notify.sock" "$tmp/notify.log" <<'PY' &
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
with open(sys.argv[2], "a", buffering=1) as log:
    while True:
        log.write(s.recv(4096).decode() + "\n")
PY
pids+=($!)
wait_for 10 test -S "$tmp/notify.sock" || fail "no notify socket"

modbus=$(free_port)
web=$(free_port)
NOTIFY_SOCKET="$tmp/notify.sock" WATCHDOG_USEC=2000000 \
    ./Registrator --headless --simulate --modbus "127.0.0.1:$modbus" --modbus-allow 127.0.0.0/30,::1 \
    --web "127.0.0.1:$web" >"$tmp/out.log" 2>"$tmp/err.log" &
pid=$!
pids+=($pid)
wait_for 60 grep -q "^Registrator: recording a simulated plant" "$tmp/err.log" ||
    fail "no start line: $(cat "$tmp/err.log")"
kill -0 $pid 2>/dev/null || fail "the program ended by itself: $(cat "$tmp/err.log")"
grep -qx "Registrator: Modbus TCP on 127.0.0.1:$modbus serves only 127.0.0.0/30,::1" "$tmp/err.log" ||
    fail "the start does not say whom Modbus serves: $(cat "$tmp/err.log")"

status=0
./Registrator --modbus-allow 10.0.0.0/8,10.0.0.300 2>"$tmp/usage.log" || status=$?
[ "$status" -eq 2 ] && grep -qF '("10.0.0.300" is no address or network)' "$tmp/usage.log" ||
    fail "a wrong --modbus-allow ended with $status: $(cat "$tmp/usage.log")"

# A second one on the same files says so on standard error and ends with 3, touching nothing.
status=0
./Registrator --headless --simulate >/dev/null 2>"$tmp/second.log" || status=$?
[ "$status" -eq 3 ] || fail "a second program ended with $status"
[ "$(wc -l <"$tmp/second.log")" -eq 1 ] || fail "the refusal is not one line: $(cat "$tmp/second.log")"

wait_for 30 day_past Data 583 || fail "no record in a day file"
first=$(($(day_size Data) / 584))
sleep 5
records=$(($(day_size Data) / 584 - first))
[ "$records" -ge 4 ] && [ "$records" -le 6 ] || fail "$records records in 5 s"

mbpoll -m tcp -a 1 -r 1 -c 72 -t 3 -1 -p "$modbus" 127.0.0.1 >"$tmp/mbpoll.log" || fail "mbpoll: $(cat "$tmp/mbpoll.log")"
[ "$(grep -cE '^\[[0-9]+\]:' "$tmp/mbpoll.log")" -eq 72 ] || fail "not 72 currents: $(cat "$tmp/mbpoll.log")"
curl -sf "http://127.0.0.1:$web/health" >"$tmp/health.json" || fail "no /health"
python3 - "$tmp/health.json" "$(./Registrator --version)" <<'PY'
import json, sys
health = json.load(open(sys.argv[1]))
assert health["port"] == "simulated" and health["recordsToday"] >= 5, health
assert "Registrator " + health["version"] == sys.argv[2], (health, sys.argv[2])
assert health["messages"] == 0 and health["lastMessage"] == "", health
PY
wait_for 10 grep -qx "READY=1" "$tmp/notify.log" || fail "systemd was not told ready: $(cat "$tmp/notify.log")"
wait_for 10 grep -qx "WATCHDOG=1" "$tmp/notify.log" || fail "no watchdog ping: $(cat "$tmp/notify.log")"

# The settings are written again at the end, not only read at the start.
rm Registrator.INI
kill -TERM $pid
status=0
wait $pid || status=$?
[ "$status" -eq 0 ] || fail "SIGTERM: status $status: $(cat "$tmp/err.log")"
[ "$(grep -c '^\[Ustavki' Registrator.INI)" -eq 72 ] || fail "the settings were not saved on SIGTERM"
wait_for 10 grep -qx "STOPPING=1" "$tmp/notify.log" || fail "systemd was not told of the end"
echo "headless: $records records in 5 s, 72 currents over Modbus, /health, READY and WATCHDOG, saved on SIGTERM"

for signal in INT HUP; do
    rm Registrator.INI
    ./Registrator --headless --simulate 2>"$tmp/$signal.log" &
    pid=$!
    pids+=($pid)
    wait_for 60 grep -q "^Registrator: recording" "$tmp/$signal.log" || fail "no start before SIG$signal"
    kill -$signal $pid
    status=0
    wait $pid || status=$?
    [ "$status" -eq 0 ] || fail "SIG$signal: status $status"
    [ -s Registrator.INI ] || fail "the settings were not saved on SIG$signal"
done

# A port that is not there: the box's text as one line on standard error, then an orderly end with 1.
status=0
./Registrator --headless --port "$tmp/no-such-port" >/dev/null 2>"$tmp/port.log" || status=$?
[ "$status" -eq 1 ] || fail "a missing port ended with $status: $(cat "$tmp/port.log")"
grep -qx "Registrator: Ошибка при создании объекта Lpt,  драйвер ERROR,  код = 2" "$tmp/port.log" ||
    fail "the port's box is not on standard error: $(cat "$tmp/port.log")"

# Without its archive folder: the box it raises is a line on standard error, and the servers count it.
mv Data Data.away
./Registrator --headless --simulate --modbus "127.0.0.1:$modbus" --web "127.0.0.1:$web" 2>"$tmp/box.log" &
pid=$!
pids+=($pid)
wait_for 60 grep -qx "Registrator: Ошибка открытия файла БД." "$tmp/box.log" ||
    fail "the box is not on standard error: $(cat "$tmp/box.log")"
wait_for 30 curl -sf -o "$tmp/health.json" "http://127.0.0.1:$web/health" || fail "no /health without Data"
mbpoll -m tcp -a 1 -r 1012 -c 1 -t 3 -1 -p "$modbus" 127.0.0.1 >"$tmp/mbpoll.log" || fail "mbpoll: $(cat "$tmp/mbpoll.log")"
kill -TERM $pid
wait $pid || fail "no orderly end without Data"
python3 - "$tmp/health.json" <<'PY'
import json, sys
health = json.load(open(sys.argv[1]))
assert health["messages"] >= 1 and health["lastMessage"] == "Ошибка открытия файла БД.", health
PY
grep -qE '^\[1012\]:\s+[1-9]' "$tmp/mbpoll.log" || fail "the box is not counted over Modbus: $(cat "$tmp/mbpoll.log")"
mv Data.away Data

# The systemd unit as shipped, pointed at this build.
sed -e "s#/opt/registrator/Registrator#$tmp/station/Registrator#" -e "s#^WorkingDirectory=.*#WorkingDirectory=$tmp/station#" \
    -e "s#^Documentation=.*#Documentation=man:systemd.service(5)#" \
    "$here/../../packaging/registrator.service" >"$tmp/registrator.service"
systemd-analyze verify "$tmp/registrator.service" >"$tmp/verify.log" 2>&1 || fail "$(cat "$tmp/verify.log")"
[ ! -s "$tmp/verify.log" ] || fail "systemd-analyze: $(cat "$tmp/verify.log")"
echo "headless: SIGINT and SIGHUP end in order, a missing port says so, the unit verifies"
