#!/usr/bin/env bash
# Every record and every journal line reaches a historian through a real broker: Debian's mosquitto
# on loopback, a durable subscriber writing into PostgreSQL tables keyed by (station, day, index) and
# (station, day, line). Live first; then the broker killed for a minute's records and started again;
# then the recorder killed while it replays. After each, the tables hold exactly the day file's records with
# its currents and the journal's lines with their fields.
# Usage: mqtt-outage.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/mqtt-rig.sh"

start_historian
start_recorder --mqtt-rate 20
wait_records 30
wait_caught_up
check_stored 0
echo "live: every record and journal line once"

kill_now "$broker_pid"
wait_records 60
start_broker
wait_caught_up
check_stored 10
echo "broker killed for 60 s: nothing lost"

# Killed while it replays a minute's backlog at 10 records a second, then started again.
stop_recorder
start_recorder --mqtt-rate 10
wait_caught_up
check_stored 10
kill_now "$broker_pid"
wait_records 60
start_broker
replaying=
for _ in $(seq 300); do
    read -r connected waiting < <(broker_state)
    if [ "$connected" = 1 ] && [ "$waiting" -gt 10 ] && [ "$waiting" -lt 50 ]; then
        replaying=$waiting
        break
    fi
    sleep 0.1
done
[ -n "$replaying" ] || fail "never saw the replay under way"
kill_now "$recorder_pid"
# The connection's will: the broker tells the plant the recorder is gone.
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t registrator/st/status -C 1 -W 5 >"$tmp/will.json" 2>&1 || true
grep -q '"state":"offline"' "$tmp/will.json" || fail "no offline will after the kill: $(cat "$tmp/will.json")"
start_recorder --mqtt-rate 10
wait_caught_up
stop_recorder
/usr/bin/python3 "$here/check.py" Data "$tmp/received.log" "$tmp/pg" "$pg_port" st 120
echo "recorder killed with $replaying records still to replay: nothing lost, duplicates only from the unacknowledged batch"
