# What the scripts that run the program as a station share: a scratch folder that goes at the end with
# the processes in $pids, fail, a free port, a wait, a station folder and its day file. Sourced with
# $program set.
# Usage: source station-rig.sh NAME (the scratch folder is /tmp/registrator-NAME.XXXXXX)
tmp=$(mktemp -d "/tmp/registrator-$1.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# Waits for a command to succeed, a tenth of a second apart, up to $1 seconds.
wait_for() {
    local tries=$(($1 * 10))
    shift
    for _ in $(seq 1 "$tries"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
# A station of its own in $tmp/NAME: the settings file beside the program, and no lock shared with others.
make_station() {
    mkdir -p "$tmp/$1/Data"
    cp "$program" "$tmp/$1/Registrator"
    bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/demo-settings.sh" "$tmp/$1/Registrator.INI"
}
# The size of the day file in the archive folder $1, 0 before there is one.
day_size() {
    local day
    day=$(ls "$1" 2>/dev/null | grep -E '^[0-9]{2}\.[0-9]{2}\.[0-9]{4}\.txt$' | head -n 1)
    if [ -n "$day" ]; then stat -c %s "$1/$day"; else echo 0; fi
}
# Whether the day file in $1 has grown past $2 bytes: the program records.
day_past() { [ "$(day_size "$1")" -gt "$2" ]; }
