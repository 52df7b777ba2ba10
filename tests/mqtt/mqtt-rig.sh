# The pieces of the MQTT tests: a private broker, PostgreSQL cluster and sink, and the recorder under
# test; sourced with $program set. Everything lives in $tmp and goes at the end.
tmp=$(mktemp -d /tmp/registrator-mqtt.XXXXXX)
chmod 755 "$tmp"
pids=()
recorder_env=()
pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
cleanup() {
    kill -KILL "${pids[@]}" 2>/dev/null || true
    [ -f "$tmp/pg/data/postmaster.pid" ] && as_postgres "$pg_bin/pg_ctl" -D "$tmp/pg/data" -m immediate stop >/dev/null 2>&1
    rm -rf "$tmp"
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
    sleep 1
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
    sleep 1
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
# Until the broker has acknowledged all but the record being written, and the sink has had a moment.
wait_caught_up() {
    for _ in $(seq 120); do
        if health | /usr/bin/python3 -c 'import json,sys; m=json.load(sys.stdin)["mqtt"]; sys.exit(0 if m["connected"] and m["waiting"] <= 1 else 1)' 2>/dev/null; then
            sleep 1.5
            return
        fi
        sleep 0.5
    done
    fail "the publisher did not catch up: $(health)"
}
