#!/usr/bin/env bash
# The web view as plant IT would probe it, through real sockets: two stations with one users file, one
# on HTTPS with its own self-signed certificate and one on plain HTTP. Every address the web view serves
# is asked without credentials, with a wrong password and with the right one: nothing but /health answers
# without a log-in, and a password over plain HTTP is refused. Then the lock-out (the sixth wrong password
# within a minute is 429), the certificate verified by curl, TLS 1.1 refused by openssl, and a real
# Prometheus scraping /metrics with basic_auth over HTTPS.
# Usage: web-access.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/../support/station-rig.sh" access

user=мастер
password='верный пароль 7'
station() {
    make_station "$1"
    mkdir -p "$tmp/$1/Reports"
    # A written report to list and fetch.
    printf 'kind,channel\r\n' >"$tmp/$1/Reports/2026-12-09 сутки.csv"
}
station https
station plain
printf '%s\n%s\n' "$password" "$password" |
    "$tmp/https/Registrator" --web-user "$user" --web-users "$tmp/users.txt" >"$tmp/user.log" 2>&1 ||
    fail "--web-user: $(cat "$tmp/user.log")"
[ "$(stat -c %a "$tmp/users.txt")" = 600 ] || fail "the users file is $(stat -c %a "$tmp/users.txt")"
grep -q "$password" "$tmp/users.txt" && fail "the password is in the users file as it was typed"

https=$(free_port)
plain=$(free_port)
(cd "$tmp/https" && exec ./Registrator --headless --simulate --web "127.0.0.1:$https" \
    --web-users "$tmp/users.txt" --web-certificate self >"$tmp/https.log" 2>&1) &
pids+=($!)
(cd "$tmp/plain" && exec ./Registrator --headless --simulate --web "127.0.0.1:$plain" \
    --web-users "$tmp/users.txt" >"$tmp/plain.log" 2>&1) &
pids+=($!)
certificate=$tmp/https/web-certificate.pem
wait_for 60 test -s "$certificate" || fail "no certificate made: $(cat "$tmp/https.log")"
wait_for 60 curl -sf --cacert "$certificate" "https://localhost:$https/health" -o /dev/null ||
    fail "curl --cacert did not verify the station's certificate: $(cat "$tmp/https.log")"
wait_for 60 curl -sf "http://127.0.0.1:$plain/health" -o /dev/null || fail "no plain web view: $(cat "$tmp/plain.log")"
fingerprint=$(openssl x509 -in "$certificate" -noout -fingerprint -sha256 | cut -d= -f2)
grep -qi "${fingerprint//:/}\|$fingerprint" "$tmp/https.log" ||
    fail "the start line gives no fingerprint $fingerprint: $(cat "$tmp/https.log")"

day=$(date +%d.%m.%Y)
wait_for 60 test -s "$tmp/https/Data/$day.txt" || fail "no records of today"
addresses=(
    / /stream /events /events/data /health/motors /metrics /trend
    "/trend/data?channels=1,2&from=$(date +%Y-%m-%dT00:00)&to=$(date +%Y-%m-%dT23:59)"
    /reports "/report?from=$(date +%Y-%m-%dT00:00)&to=$(date +%Y-%m-%dT01:00)" /favicon.ico
    /motor/1 /motor/1/data "/archive/$day.csv" "/archive/$day/summary.csv" "/archive/excel/$day.csv"
    /no-such-page
)
# A report file's address and the pages' own scripts and styles, as the right user's pages link them.
linked() { curl -s --cacert "$certificate" -u "$user:$password" "https://localhost:$https$1"; }
report=$(linked /reports | grep -o 'href="/reports/[^"]*"' | head -n 1 | cut -d'"' -f2)
[ -n "$report" ] || fail "/reports lists no report: $(linked /reports)"
addresses+=("$report")
while read -r asset; do addresses+=("$asset"); done < <(linked / | grep -oE '(src|href)="/static/[^"]+"' |
    cut -d'"' -f2 | sort -u)
[ ${#addresses[@]} -ge 20 ] || fail "the panel links no scripts or styles: $(linked /)"

# Each wrong password from an address of its own (127.0.1.N), so the lock-out does not answer for it.
source_index=1
status() { # SCHEME PORT PATH CREDENTIALS...
    local scheme=$1 port=$2 path=$3
    shift 3
    curl -s -o /dev/null -w '%{http_code}' --max-time 5 --cacert "$certificate" \
        --interface "127.0.1.$source_index" "$@" "$scheme://localhost:$port$path" || true
}
# The event stream answers 200 and stays open; curl's timeout ends it with the status already known.
failures=()
check() { # WHAT GOT WANTED
    [ "$2" = "$3" ] || failures+=("$1: $2, not $3")
}
for path in "${addresses[@]}"; do
    right=200
    case $path in /no-such-page) right=404 ;; /favicon.ico) right=204 ;; esac
    check "https $path, none" "$(status https "$https" "$path")" 401
    source_index=$((source_index + 1))
    check "https $path, wrong" "$(status https "$https" "$path" -u "$user:не тот")" 401
    check "https $path, right" "$(status https "$https" "$path" -u "$user:$password")" "$right"
    # Over plain HTTP nothing is asked for a password, and none given is taken.
    check "http $path, none" "$(status http "$plain" "$path")" 403
    source_index=$((source_index + 1))
    check "http $path, wrong" "$(status http "$plain" "$path" -u "$user:не тот")" 403
    check "http $path, right" "$(status http "$plain" "$path" -u "$user:$password")" 403
done
for scheme_port in "https $https" "http $plain"; do
    read -r scheme port <<<"$scheme_port"
    for credentials in "" "$user:не тот" "$user:$password"; do
        source_index=$((source_index + 1))
        check "$scheme /health, '$credentials'" \
            "$(status "$scheme" "$port" /health ${credentials:+-u "$credentials"})" 200
    done
done
# Plain HTTP to the HTTPS port is no HTTP answer at all.
check "http to the https port" "$(status http "$https" /health)" 000
[ ${#failures[@]} -eq 0 ] || fail "$(printf '\n  %s' "${failures[@]}")"
echo "web-access: ${#addresses[@]} addresses + /health, each without, with a wrong and with the right password, over HTTPS and HTTP"

# Five wrong passwords from one address in a minute, then the sixth, and even the right one, get 429.
source_index=250
for attempt in 1 2 3 4 5; do
    got=$(status https "$https" /motor/1/data -u "$user:не тот $attempt")
    [ "$got" = 401 ] || fail "wrong password $attempt: $got"
done
got=$(status https "$https" /motor/1/data -u "$user:не тот 6")
[ "$got" = 429 ] || fail "the sixth wrong password within a minute: $got, not 429"
got=$(status https "$https" /motor/1/data -u "$user:$password")
[ "$got" = 429 ] || fail "the right password from a blocked address: $got, not 429"
source_index=251
got=$(status https "$https" /motor/1/data -u "$user:$password")
[ "$got" = 200 ] || fail "another address is blocked too: $got"
echo "web-access: the sixth wrong password gets 429, and only its address is blocked"

# Only TLS 1.2 and newer.
openssl s_client -connect "127.0.0.1:$https" -tls1_1 </dev/null >"$tmp/tls11.log" 2>&1 &&
    fail "TLS 1.1 was accepted: $(cat "$tmp/tls11.log")"
openssl s_client -connect "127.0.0.1:$https" -tls1_2 -CAfile "$certificate" </dev/null >"$tmp/tls12.log" 2>&1 ||
    fail "TLS 1.2 was refused: $(cat "$tmp/tls12.log")"
grep -q 'Verify return code: 0' "$tmp/tls12.log" || fail "TLS 1.2: $(grep Verify "$tmp/tls12.log")"
echo "web-access: TLS 1.1 refused, TLS 1.2 verified"

# The journal has the log-in and the refusals, with the address.
journal=$tmp/https/Data/$day.events.csv
grep -q 'веб-просмотр: вход' "$journal" || fail "no log-in in the journal: $(tail -n 5 "$journal")"
grep -q 'отказ во входе.*127\.0\.1\.' "$journal" || fail "no refusal in the journal: $(tail -n 5 "$journal")"

# Prometheus with basic_auth over HTTPS.
api=$(free_port)
cat >"$tmp/prometheus.yml" <<YML
global:
  scrape_interval: 1s
scrape_configs:
  - job_name: registrator
    scheme: https
    tls_config:
      ca_file: $certificate
    basic_auth:
      username: $user
      password: "$password"
    static_configs:
      - targets: ["localhost:$https"]
YML
prometheus --config.file="$tmp/prometheus.yml" --storage.tsdb.path="$tmp/tsdb" \
    --web.listen-address="127.0.0.1:$api" >"$tmp/prometheus.log" 2>&1 &
pids+=($!)
query() { curl -sf --get "http://127.0.0.1:$api/api/v1/query" --data-urlencode "query=$1"; }
scraped() { query 'count(registrator_current_amperes)' | grep -q '"72"'; }
wait_for 60 scraped || fail "Prometheus did not scrape the 72 motors: $(query 'up') $(tail -n 5 "$tmp/prometheus.log")"
echo "web-access: Prometheus scraped /metrics with basic_auth over HTTPS"
