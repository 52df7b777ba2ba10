#!/usr/bin/env bash
# The MQTT publisher at its edges: a broker outage across midnight (the recorder's clock moved by
# libfaketime), whose records and journal lines of both days reach the tables in order; a broker that refuses the
# credentials, which the status says while the program records on; and mqtts:// to a broker whose
# certificate is checked.
# Usage: mqtt-edges.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/mqtt-rig.sh"

start_historian
faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 | head -n 1)
recorder_env=("LD_PRELOAD=$faketime_lib" "FAKETIME=@2026-12-09 23:59:20" FAKETIME_DONT_FAKE_MONOTONIC=1)
start_recorder
# Some of the first day's records sent live, the broker away over midnight until the new day's file
# has records.
wait_until 60 health_says 'm["acknowledged"] > 0' || fail "nothing acknowledged: $(health)"
check_stored 0 >/dev/null
kill_now "$broker_pid"
[ ! -f Data/10.12.2026.txt ] || fail "midnight came before the broker went away"
wait_until 120 has_day_records 10.12.2026 3 || fail "no records of the new day: $(ls -l Data)"
start_broker
wait_caught_up
stop_recorder
[ -f Data/09.12.2026.txt ] && [ -f Data/10.12.2026.txt ] || fail "not two day files: $(ls Data)"
/usr/bin/python3 "$here/check.py" Data "$tmp/received.log" "$tmp/pg" "$pg_port" st 10
echo "an outage across midnight: both days' records and journal lines, in order"
# What stays on the broker for whoever subscribes later: the status of an orderly end, and each motor.
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t registrator/st/status -t registrator/st/motor/7 -C 2 -W 5 \
    >"$tmp/retained.txt" 2>&1 || true
grep -q '"state":"offline"' "$tmp/retained.txt" || fail "no retained offline status: $(cat "$tmp/retained.txt")"
grep -q '"channel":7,"name":"[^"]*","current":[0-9.]*,"state":"[a-z ]*","nominal"' "$tmp/retained.txt" ||
    fail "no retained motor 7: $(cat "$tmp/retained.txt")"

# Refused credentials: said in the status, and the records go on.
kill_now "$broker_pid"
broker_passwords=$tmp/broker/passwords
mosquitto_passwd -c -b "$broker_passwords" recorder right-password 2>/dev/null
[ "$(id -u)" -eq 0 ] && chown mosquitto "$broker_passwords" 2>/dev/null || true
broker_anonymous=false
start_broker
printf 'recorder:wrong-password\n' >"$tmp/credentials"
chmod 600 "$tmp/credentials"
recorder_env=()
rm -f Data/*.cursor
start_recorder --mqtt-credentials "$tmp/credentials"
wait_until 60 health_says '"authori" in m["problem"].lower() and not m["connected"] and h["recordsToday"] >= 3' ||
    fail "refused credentials not said, or no records meanwhile: $(health)"
echo "refused credentials: said in the status, and the records go on"
stop_recorder
# A credentials file others may read is not used at all.
chmod 644 "$tmp/credentials"
status=0
timeout 60 ./Registrator --headless --simulate --mqtt "mqtt://127.0.0.1:$broker_port" \
    --mqtt-credentials "$tmp/credentials" 2>"$tmp/open.log" &
wait_until 60 grep -q "MQTT publisher not started: .* may be read by others" "$tmp/open.log" ||
    fail "a readable credentials file was used: $(cat "$tmp/open.log")"
kill -TERM $! && wait $! || status=$?
echo "a credentials file others may read is refused"

# mqtts://: a broker whose certificate a certificate authority of this test signs, trusted through
# SSL_CERT_FILE, and refused without it.
kill_now "$broker_pid"
mkdir -p "$tmp/tls"
(cd "$tmp/tls" &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=test CA" &&
    openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=localhost" &&
    printf 'subjectAltName=DNS:localhost\n' >ext &&
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 -extfile ext &&
    chmod 644 server.key) >/dev/null 2>&1 || fail "no test certificates"
broker_passwords=
broker_anonymous=true
broker_tls="cafile $tmp/tls/ca.pem
certfile $tmp/tls/server.pem
keyfile $tmp/tls/server.key"
start_broker
broker_url=mqtts://localhost:$broker_port
for trusted in yes no; do
    if [ $trusted = yes ]; then recorder_env=("SSL_CERT_FILE=$tmp/tls/ca.pem"); else recorder_env=(SSL_CERT_DIR=/nonexistent); fi
    start_recorder
    if [ $trusted = yes ]; then
        wait_until 60 health_says 'm["connected"]' || fail "mqtts:// with the test's authority trusted: not connected: $(health)"
    else
        wait_until 60 health_says 'm["problem"] not in ("", "connecting")' || fail "no TLS problem said: $(health)"
        health_says 'not m["connected"]' || fail "mqtts:// connected to a broker whose certificate nobody vouches for"
    fi
    stop_recorder
done
echo "mqtts:// connects to a broker whose certificate checks out, and not to one whose does not"
