#!/usr/bin/env bash
# The recorder's orderly end with both cores busy: ended right after an append, five times, and every
# record and journal line written before each end reaches a subscriber of the test's own before the
# offline status. Then cursors ahead of the files (a day the clock has not reached, negative, past the
# end of today's file): each is said on the gap topic and today's records and lines are sent again.
# Usage: mqtt-end.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/mqtt-rig.sh"

start_broker
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -q 1 -v -t 'registrator/st/#' -t probe >"$tmp/received.log" &
pids+=($!)
probe() {
    mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -t probe -m '{}' && grep -q '^probe ' "$tmp/received.log"
}
wait_until 30 probe || fail "the subscriber never subscribed"
stress-ng --cpu 2 --quiet &
pids+=($!)
cursor=Data/mqtt-127.0.0.1-$broker_port.cursor

# Started, connected, and ended at the first append after that.
run_until_append() {
    start_recorder
    wait_until 60 health_says 'm["connected"]' || fail "never connected: $(health)"
    /usr/bin/python3 "$here/received.py" stop Data "$recorder_pid"
    wait "$recorder_pid" || fail "the recorder did not end in order"
    ! grep -q "left for the next start" "$tmp/recorder.log" || fail "$(grep "left for the next start" "$tmp/recorder.log")"
}

for end in 1 2 3 4 5; do
    run_until_append
    /usr/bin/python3 "$here/received.py" all Data "$tmp/received.log" "$end" || fail "end $end"
done
echo "five ends right after an append with both cores busy: every record and journal line before each arrived"

today=$(basename "$(ls Data/??.??.????.txt | tail -n 1)" .txt)
# The records' cursor, the journal's, and what the gap topic says of each.
cases=("09.12.2099 5|$today -4|a day the clock has not reached|holds fewer lines than were already sent"
    "$today 999999|$today 999999|holds fewer records than were already sent|holds fewer lines than were")
for case in "${cases[@]}"; do
    IFS='|' read -r records lines record_reason line_reason <<<"$case"
    echo "$records" >"$cursor"
    echo "$lines" >"${cursor%.cursor}.events.cursor"
    since=$(wc -l <"$tmp/received.log")
    end=$((end + 1))
    run_until_append
    /usr/bin/python3 "$here/received.py" all Data "$tmp/received.log" "$end" "$since" "$record_reason" \
        "$line_reason" || fail "records cursor $records, journal cursor $lines"
done
echo "cursors ahead of the files: said on the gap topic, and today's records and lines sent again"
