# The pieces of the MQTT tests: a private broker, PostgreSQL cluster and sink, and the recorder under
# test; sourced with $program set. Everything lives in $tmp and goes at the end (KEEP_TMP=1 keeps it to look at).
tmp=$(mktemp -d /tmp/registrator-mqtt.XXXXXX)
chmod 755 "$tmp"
pids=()
recorder_env=()
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
cleanup() {
    kill -KILL "${pids[@]}" 2>/dev/null || true
    [ -f "$tmp/pg/data/postmaster.pid" ] && as_postgres "$pg_bin/pg_ctl" -D "$tmp/pg/data" -m immediate stop >/dev/null 2>&1
    [ -n "${KEEP_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$tmp/recorder.log" ] && tail -n 5 "$tmp/recorder.log" >&2
    exit 1
}
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
# PostgreSQL will not run as root.
as_postgres() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

mkdir -p "$tmp/station/Data" "$tmp/broker" "$tmp/pg"
cp "$program" "$tmp/station/Registrator"
bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/demo-settings.sh" "$tmp/station/Registrator.INI"
cd "$tmp/station"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
broker_port=$(free_port)
web_port=$(free_port)
pg_port=$(free_port)

start_postgres() {
    [ "$(id -u)" -eq 0 ] && chown postgres "$tmp/pg"
    as_postgres "$pg_bin/initdb" -D "$tmp/pg/data" -A trust -U postgres --no-sync >/dev/null
    as_postgres "$pg_bin/pg_ctl" -D "$tmp/pg/data" -l "$tmp/pg/log" -w \
        -o "-k $tmp/pg -p $pg_port -c listen_addresses= -c fsync=off" start >/dev/null
}
start_broker() {
    # The historian's session and its queued messages outlive a broker killed outright.
    cat >"$tmp/broker/mosquitto.conf" <<CONF
listener $broker_port 127.0.0.1
allow_anonymous ${broker_anonymous:-true}
${broker_passwords:+password_file $broker_passwords}
persistence true
persistence_location $tmp/broker/
autosave_interval 1
${broker_tls:-}
CONF
    mosquitto -c "$tmp/broker/mosquitto.conf" >>"$tmp/broker/log" 2>&1 &
    broker_pid=$!
    pids+=("$broker_pid")
    for _ in $(seq 50); do
        /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $broker_port))" 2>/dev/null && return
        sleep 0.1
    done
    fail "the broker did not start: $(cat "$tmp/broker/log")"
}
start_sink() {
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/sink.py" "$broker_port" "$tmp/pg" "$pg_port" "$tmp/received.log" \
        >>"$tmp/sink.log" 2>&1 &
    pids+=($!)
    wait_until 60 grep -q subscribed "$tmp/sink.log" || fail "the sink did not subscribe: $(cat "$tmp/sink.log")"
}
# The broker with its durable subscriber writing into PostgreSQL.
start_historian() {
    start_postgres
    start_broker
    start_sink
}
start_recorder() {
    env "${recorder_env[@]}" ./Registrator --headless --simulate --mqtt "${broker_url:-mqtt://127.0.0.1:$broker_port}" --mqtt-station st \
        --web "127.0.0.1:$web_port" "$@" >>"$tmp/recorder.log" 2>&1 &
    recorder_pid=$!
    pids+=("$recorder_pid")
}
stop_recorder() {
    kill -TERM "$recorder_pid"
    wait "$recorder_pid" || fail "the recorder did not end in order"
}
# Until COMMAND succeeds, looked at every tenth of a second; false after SECONDS.
wait_until() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 10))); do
        "$@" && return
        sleep 0.1
    done
    return 1
}
# The whole records of the day files, and until they are at least N.
records_in_files() {
    local n=0 file
    for file in Data/??.??.????.txt; do
        [ -f "$file" ] && n=$((n + $(stat -c %s "$file") / 584))
    done
    echo "$n"
}
has_records() { [ "$(records_in_files)" -ge "$1" ]; }
has_day_records() { [ -f "Data/$1.txt" ] && [ "$(stat -c %s "Data/$1.txt")" -ge $(($2 * 584)) ]; }
# Until the recorder has written N more records: the scenario's time, counted in what it leaves.
wait_records() {
    local target=$(($(records_in_files) + $1))
    wait_until $(($1 * 5 + 30)) has_records "$target" || fail "$target records never written: $(records_in_files)"
}
# Without the shell's report of a job it killed.
kill_now() {
    kill -KILL "$1"
    wait "$1" 2>/dev/null || true
}
# The publisher's figures from /health: "connected waiting".
broker_state() {
    health | /usr/bin/python3 -c 'import json,sys; m=json.load(sys.stdin)["mqtt"]; print(int(m["connected"]), m["waiting"])' 2>/dev/null || echo "0 0"
}
health() { curl -sf "http://127.0.0.1:$web_port/health" || true; }
# /health's "mqtt" object: whether the Python expression, with m for it and h for the whole, holds.
health_says() {
    health | /usr/bin/python3 -c "import json,sys; h=json.load(sys.stdin); m=h['mqtt']; sys.exit(0 if ($1) else 1)" 2>/dev/null
}
# Until the sink has stored everything the broker acknowledged, at most MAX_DUPLICATES received twice:
# a broker killed outright loses what it has acknowledged and not yet delivered.
check_stored() {
    # The cursors are saved a moment after the acknowledgements /health already counts.
    wait_until 30 test -f "Data/mqtt-127.0.0.1-$broker_port.cursor" -a -f "Data/mqtt-127.0.0.1-$broker_port.events.cursor" ||
        fail "no publisher cursors: $(ls Data)"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/check.py" Data "$tmp/received.log" "$tmp/pg" "$pg_port" st "$1" \
        "Data/mqtt-127.0.0.1-$broker_port.cursor"
}
# Until the broker has acknowledged all but the record being written.
wait_caught_up() {
    wait_until 60 health_says 'm["connected"] and m["waiting"] <= 1' || fail "the publisher did not catch up: $(health)"
}
