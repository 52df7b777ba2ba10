#!/usr/bin/env bash
# The Windows release as a station meets it, under wine on a virtual display: unzip it, start
# Registrator.exe --simulate --web --modbus for about twenty seconds under a Russian locale, look at the
# screen, the web view's health, the currents over Modbus and the day file, close the main window and look at the settings file and the snapshot; then start it
# without --simulate, where no port-access driver answers, and expect the port error box and status 1.
# Usage: windows-e2e.sh ZIP [SCREENSHOT_FOLDER]
set -euo pipefail
zip=$(realpath "$1")
shots=${2:-}
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages curl python3 mbpoll mosquitto mosquitto-clients unzip xvfb xauth imagemagick xdotool locales fonts-wine fonts-liberation "${WINDOWS_PACKAGES[@]}"

source scripts/wine-session.sh e2e

# A Russian locale of the test's own, so that wine gives the program Russian regional settings.
mkdir -p "$tmp/locale"
localedef -i ru_RU -f UTF-8 "$tmp/locale/ru_RU.UTF-8" 2>/dev/null || true
export LOCPATH=$tmp/locale
{ export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8; } 2>/dev/null # bash itself has no such locale

unzip -q "$zip" -d "$tmp/station"
app=$(find "$tmp/station" -maxdepth 1 -mindepth 1 -type d | head -n 1)
[ -f "$app/Registrator.exe" ] || fail "the zip holds no Registrator.exe"
[ -d "$app/Data" ] || fail "the zip holds no Data folder"
# The demonstration calibration (so that all four panel colours show), as if saved on a modern system:
# UTF-8, coefficients written with a full stop. The program reads both and saves Windows-1251 with the
# decimal comma of the Russian regional settings.
bash scripts/demo-settings.sh "$tmp/demo.ini"
iconv -f WINDOWS-1251 -t UTF-8 "$tmp/demo.ini" | sed 's/^Koof_K=0,5/Koof_K=0.5/' >"$app/Registrator.INI"

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
web_port=$(free_port)
modbus_port=$(free_port)
mqtt_port=$(free_port)
# A Linux broker the Windows build publishes to, and a subscriber keeping what arrives.
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$mqtt_port" >"$tmp/mosquitto.conf"
mosquitto -c "$tmp/mosquitto.conf" >"$tmp/mosquitto.log" 2>&1 &
broker=$!
sleep 0.5
mosquitto_sub -h 127.0.0.1 -p "$mqtt_port" -q 1 -t 'registrator/win/records' >"$tmp/mqtt.txt" 2>&1 &
subscriber=$!
cat >"$tmp/session.sh" <<'EOF'
#!/usr/bin/env bash
set -u
cd "$1"
shots=$2
# Made on the display: a prefix whose desktop started without one opens no windows.
wine wineboot --init >/dev/null 2>&1
bash "$4"
# Up to thirty seconds for a program to end by itself, then it is ended by force.
finish() {
    for _ in $(seq 1 60); do kill -0 "$1" 2>/dev/null || break; sleep 0.5; done
    if kill -0 "$1" 2>/dev/null; then
        wine taskkill /F /IM Registrator.exe >/dev/null 2>&1
        sleep 2
        kill -KILL "$1" 2>/dev/null
    fi
    local status=0
    wait "$1" || status=$?
    echo "$status"
}
wine Registrator.exe --simulate --web "127.0.0.1:$5" --modbus "127.0.0.1:$6" --mqtt "mqtt://127.0.0.1:$7" \
    --mqtt-station win >"$3/simulate.log" 2>&1 &
pid=$!
# Twenty seconds of recording from when the program answers: starting under wine on a busy machine
# takes a while of its own.
for _ in $(seq 1 120); do
    curl -s --max-time 1 "http://127.0.0.1:$5/health" >/dev/null && break
    sleep 0.5
done
sleep 20
# The simulated plant shows its four colours over time, not at every moment: shots a second apart
# until one holds them all, or half a minute has passed.
for _ in $(seq 1 30); do
    import -window root "$3/main.png"
    shown=$(convert "$3/main.png" -format %c histogram:info:- | tr 'a-f' 'A-F')
    all=1
    for colour in FF0000 FFFF00 00FF00 969696; do grep -q "#$colour" <<<"$shown" || all=0; done
    [ "$all" = 1 ] && break
    sleep 1
done
curl -s --max-time 10 "http://127.0.0.1:$5/health" >"$3/health.json"
mbpoll -m tcp -a 1 -r 1 -c 72 -t 3 -1 127.0.0.1 -p "$6" >"$3/currents.txt" 2>&1
mbpoll -m tcp -a 1 -r 1007 -c 1 -t 4 -1 127.0.0.1 -p "$6" >"$3/port-state.txt" 2>&1
[ -n "$shots" ] && cp "$3/main.png" "$shots/windows-main.png"
ls -l Data >"$3/data-while-running.txt"
wine taskkill /IM Registrator.exe >/dev/null 2>&1
finish "$pid" >"$3/simulate.status"

wine Registrator.exe >"$3/port.log" 2>&1 &
pid=$!
box=
for _ in $(seq 1 60); do
    box=$(xdotool search --name '^ERROR$' 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    sleep 0.5
done
echo "${box:-none}" >"$3/port.box"
sleep 1
import -window root "$3/port.png"
[ -n "$shots" ] && cp "$3/port.png" "$shots/windows-port-error.png"
[ -n "$box" ] && xdotool windowfocus --sync "$box" key Return 2>/dev/null
finish "$pid" >"$3/port.status"
EOF
chmod +x "$tmp/session.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$tmp/session.sh" "$app" "$shots" "$tmp" "$PWD/scripts/wine-fonts.sh" "$web_port" "$modbus_port" \
    "$mqtt_port"
sleep 1
kill "$subscriber" "$broker" 2>/dev/null || true

# The mimic as drawn: all four panel colours on the screen.
colours=$(convert "$tmp/main.png" -format %c histogram:info:- | tr 'a-f' 'A-F')
for colour in FF0000 FFFF00 00FF00 969696; do
    grep -q "#$colour" <<<"$colours" || fail "the screen shows no panel of colour #$colour"
done
# One whole record a second.
day=$(ls "$app/Data" | grep -E '^[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.txt$' | head -n 1)
[ -n "$day" ] || fail "no day file in Data: $(ls "$app/Data")"
size=$(stat -c %s "$app/Data/$day")
[ $((size % 584)) -eq 0 ] || fail "the day file of $size bytes is not whole 584-byte records"
records=$((size / 584))
[ "$records" -ge 14 ] || fail "$records records in about twenty seconds"
# One a second by the records' own times (days since 1899 in the first field), whenever it started.
span=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
times = [struct.unpack_from("<d", data, i * 584)[0] for i in range(len(data) // 584)]
print(round((times[-1] - times[0]) * 86400) + 1)' "$app/Data/$day")
# The one-second timer is a coarse one, which Qt lets fire up to 5 % early: a record more in twenty seconds.
[ $((records - span)) -le $((1 + span / 20)) ] && [ $((span - records)) -le 2 ] || fail "$records records over $span seconds"
[ -s "$app/Data/${day%.txt}UST.txt" ] && [ "$(stat -c %s "$app/Data/${day%.txt}UST.txt")" -eq 5760 ] ||
    fail "no snapshot of the day beside $day"
[ "$(cat "$tmp/simulate.status")" -eq 0 ] || fail "closing the main window ended with status $(cat "$tmp/simulate.status")"

# The web view, served by the Windows build as by the Linux one.
grep -q '"port":"simulated"' "$tmp/health.json" || fail "no web view: $(cat "$tmp/health.json")"
# The Modbus server, read by Linux's mbpoll: 72 currents and the simulated port's state.
[ "$(grep -cE '^\[[0-9]+\]:' "$tmp/currents.txt")" -eq 72 ] || fail "no 72 currents over Modbus: $(cat "$tmp/currents.txt")"
grep -qE '^\[1007\]:\s+1$' "$tmp/port-state.txt" || fail "Modbus port state: $(cat "$tmp/port-state.txt")"

# MQTT from the Windows build to the Linux broker: the day file's records, in order, with its currents.
python3 - "$tmp/mqtt.txt" "$app/Data/$day" <<'PY' || fail "MQTT: $(head -c 300 "$tmp/mqtt.txt")"
import json, struct, sys
messages = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
data = open(sys.argv[2], "rb").read()
records = [struct.unpack_from("<73d", data, i * 584)[1:] for i in range(len(data) // 584)]
# The last record or two may still wait at the end: they go out at the next start.
assert [m["index"] for m in messages] == list(range(len(messages))), [m["index"] for m in messages]
assert len(records) - 2 <= len(messages) <= len(records), (len(messages), len(records))
assert all(m["station"] == "win" and list(m["current"]) == list(records[m["index"]]) for m in messages)
PY

# The settings file: 72 sections, CRLF line ends, Windows-1251, the Russian decimal comma.
ini=$app/Registrator.INI
[ "$(grep -c $'^\\[Ustavki[0-9]*\\]\r$' "$ini")" -eq 72 ] || fail "the settings file lacks sections"
[ "$(grep -c -v $'\r$' "$ini")" -eq 0 ] || fail "the settings file has lines without CRLF"
grep -q "^Name=$(printf 'Рыхлитель питателя 710' | iconv -f UTF-8 -t CP1251)"$'\r$' "$ini" ||
    fail "the names are not saved in Windows-1251"
[ "$(grep -c $'^Koof_K=0,5\r$' "$ini")" -eq 72 ] || fail "Koof_K is not saved as 0,5 under the Russian locale"

# No port-access driver under wine: the box, then status 1.
[ "$(cat "$tmp/port.box")" != none ] || fail "no port error box: $(cat "$tmp/port.log")"
[ "$(cat "$tmp/port.status")" -eq 1 ] || fail "a start without its port ended with status $(cat "$tmp/port.status")"
grep -q "cannot open" "$tmp/port.log" || fail "no word of the port on standard error"
echo "windows-e2e: the zip ran under wine: $records records, the four colours, the web view, Modbus and MQTT, settings and snapshot saved," \
    "the port error box and status 1 without --simulate"
