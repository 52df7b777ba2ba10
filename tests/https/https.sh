#!/usr/bin/env bash
# The web view over HTTPS through curl, openssl and plain sockets: the station's own certificate made
# once and kept, one given in files, TLS 1.2 and newer only, plain HTTP and stalled handshakes on the
# port, a large answer to slow and stalled readers, and the keys refused at start.
# Usage: https.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
tmp=$(mktemp -d /tmp/registrator-https.XXXXXX)
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2 && exit 1; }

mkdir -p "$tmp/station/Data"
cp "$program" "$tmp/station/Registrator"
bash "$(dirname "$0")/../../scripts/demo-settings.sh" "$tmp/station/Registrator.INI"
cd "$tmp/station"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
url=https://127.0.0.1:$port
# Started with the options given; back once the start line is out, the web view started or refused.
start() {
    # Gone first: the shell empties it only once the program's process runs, and the last run's start
    # line must not be taken for this one's.
    rm -f "$tmp/err.log"
    ./Registrator --headless --simulate --web "127.0.0.1:$port" "$@" 2>"$tmp/err.log" &
    pid=$!
    for _ in $(seq 600); do grep -qs "^Registrator: recording" "$tmp/err.log" && return || sleep 0.1; done
    fail "no start line: $(cat "$tmp/err.log")"
}
stop() {
    kill -TERM "$pid"
    wait "$pid" || fail "no orderly end: $(cat "$tmp/err.log")"
    pid=
}
fingerprint() { sed -n 's/.*SHA-256 fingerprint \([0-9A-F:]*\),.*/\1/p' "$tmp/err.log"; }
rejected() { curl -sf --cacert web-certificate.pem "$url/health" | python3 -c 'import json, sys; print(json.load(sys.stdin)["rejectedRequests"])'; }

start --web-certificate self
grep -q "web view on $url/ (HTTPS only), certificate $PWD/web-certificate.pem (made now)" "$tmp/err.log" ||
    fail "no certificate on the start line: $(cat "$tmp/err.log")"
made=$(fingerprint)
[ "$made" = "$(openssl x509 -in web-certificate.pem -noout -fingerprint -sha256 | cut -d= -f2)" ] ||
    fail "the fingerprint said, $made, is not the certificate's"
[ "$(stat -c %a web-key.pem)" = 600 ] || fail "the key is $(stat -c %a web-key.pem)"
curl -sf --cacert web-certificate.pem "$url/health" | grep -q '"port":"simulated"' || fail "no /health over HTTPS"
curl -sf --cacert web-certificate.pem "https://localhost:$port/health" >/dev/null || fail "localhost is not named"

# TLS 1.1 refused by the program itself, whatever the client would allow.
openssl s_client -connect "127.0.0.1:$port" -tls1_2 -CAfile web-certificate.pem -verify_return_error \
    </dev/null >"$tmp/tls.log" 2>&1 || fail "TLS 1.2: $(cat "$tmp/tls.log")"
if openssl s_client -connect "127.0.0.1:$port" -tls1_1 -cipher 'DEFAULT@SECLEVEL=0' </dev/null \
    >"$tmp/tls.log" 2>&1; then fail "TLS 1.1 was accepted"; fi
grep -q "alert protocol version" "$tmp/tls.log" || fail "TLS 1.1 not refused by the server: $(cat "$tmp/tls.log")"

# Plain HTTP gets no HTTP, and counts as a refusal; a handshake never begun or never ended is closed by
# the connection's own deadline.
before=$(rejected)
python3 - "$port" <<'PY' || fail "plain HTTP or a stalled handshake"
import concurrent.futures, socket, sys, time
def answer(send):
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=30)
    s.sendall(send)
    start, got = time.monotonic(), b""
    try:
        while chunk := s.recv(4096):
            got += chunk
    except ConnectionResetError:
        pass
    return got, time.monotonic() - start
with concurrent.futures.ThreadPoolExecutor() as pool:
    plain, silent, half = pool.map(answer, [b"GET /health HTTP/1.1\r\nHost: a\r\n\r\n", b"",
                                            bytes.fromhex("16030100c8")])
assert not plain[0].startswith(b"HTTP/"), plain
assert silent[1] > 9 and half[1] > 9, (silent, half)
PY
[ "$(rejected)" -eq $((before + 1)) ] || fail "plain HTTP not counted: $before, then $(rejected)"

# A day's CSV of 25 MB whole to a reader slower than the program, and held back from one that takes
# nothing.
python3 -c '
import struct
with open("Data/01.12.2026.txt", "wb") as f:
    for i in range(86400):
        f.write(struct.pack("<d72d", i / 86400, *[float((i + n) % 700) for n in range(72)]))'
[ "$(curl -sf --limit-rate 10M --max-time 120 --cacert web-certificate.pem "$url/archive/01.12.2026.csv" |
    wc -l)" -eq 86401 ] ||
    fail "the day's CSV came short"
python3 - "$pid" "$port" <<'PY' || fail "a stalled reader's answer piled up in memory"
import socket, ssl, sys, time
def rss():
    return int(next(l for l in open(f"/proc/{sys.argv[1]}/status") if l.startswith("VmRSS")).split()[1])
before = rss()
raw = socket.socket()
raw.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
raw.connect(("127.0.0.1", int(sys.argv[2])))
tls = ssl.create_default_context(cafile="web-certificate.pem").wrap_socket(raw, server_hostname="localhost")
tls.sendall(b"GET /archive/01.12.2026.csv HTTP/1.1\r\nHost: a\r\n\r\n")
for _ in range(30):
    assert rss() - before < 20000, (before, rss())
    time.sleep(0.1)
PY

# With every connection holding half a request, a newcomer reads its 503 over TLS too.
python3 - "$port" <<'PY' || fail "no 503 over TLS"
import socket, ssl, sys
tls = ssl.create_default_context(cafile="web-certificate.pem")
def connect():
    return tls.wrap_socket(socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=20),
                           server_hostname="localhost")
def answer(s):
    got = b""
    while chunk := s.recv(65536):
        got += chunk
        head, end, body = got.partition(b"\r\n\r\n")
        if end and len(body) >= int(head.split(b"Content-Length: ")[1].split(b"\r\n")[0]):
            break
    return got
held = [connect() for _ in range(256)]
for s in held:  # the first answer out shows the half head behind it was read
    s.sendall(b"GET /health HTTP/1.1\r\nHost: a\r\n\r\nGET / HTTP/1.1\r\n")
for s in held:
    answer(s)
newcomer = connect()
newcomer.sendall(b"GET /health HTTP/1.1\r\nHost: a\r\n\r\n")
assert answer(newcomer).startswith(b"HTTP/1.1 503"), "not a 503"
PY

# Kept: the same certificate on the next start.
stop
cp web-certificate.pem web-key.pem "$tmp/"
start --web-certificate self
grep -q "certificate $PWD/web-certificate.pem, SHA-256 fingerprint $made," "$tmp/err.log" ||
    fail "not the kept certificate: $(cat "$tmp/err.log")"
cmp -s web-key.pem "$tmp/web-key.pem" && cmp -s web-certificate.pem "$tmp/web-certificate.pem" ||
    fail "the kept pair was written again"
stop

# One's own, in files: an RSA key, then refused for what would make every handshake fail or leak the key.
openssl req -x509 -newkey rsa:2048 -nodes -keyout own.key -out own.crt -days 2 -subj /CN=localhost \
    -addext subjectAltName=IP:127.0.0.1 2>/dev/null
chmod 600 own.key
start --web-certificate own.crt --web-key own.key
curl -sf --cacert own.crt "$url/health" >/dev/null || fail "not served with its own certificate"
stop
openssl pkey -in own.key -aes256 -passout pass:secret -out sealed.key
chmod 600 sealed.key
refused() {
    start "$@"
    grep -q "web view not started on 127.0.0.1:$port: .*$why" "$tmp/err.log" ||
        fail "not refused for \"$why\": $(cat "$tmp/err.log")"
    if curl -s -o /dev/null "http://127.0.0.1:$port/health"; then fail "served without its certificate"; fi
    stop
}
why="is encrypted" refused --web-certificate own.crt --web-key sealed.key
why="is not the key of the certificate" refused --web-certificate own.crt --web-key web-key.pem
chmod 640 own.key
why="may be read by others" refused --web-certificate own.crt --web-key own.key
echo "HTTPS: certificates made, kept and refused; TLS 1.2+ only; deadlines and large answers held"
