#!/usr/bin/env bash
# The recorder's /metrics against Debian's own Prometheus tools: promtool checks the text, then a real
# Prometheus server scrapes the program on loopback until its HTTP API answers for the motors.
# Usage: prometheus-scrape.sh REGISTRATOR
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/../support/station-rig.sh" metrics

make_station station
cd "$tmp/station"
web=$(free_port)
QT_QPA_PLATFORM=offscreen ./Registrator --simulate --web "127.0.0.1:$web" >"$tmp/program.log" 2>&1 &
pids+=($!)
wait_for 60 curl -sf -o /dev/null "http://127.0.0.1:$web/health" || fail "no /health: $(cat "$tmp/program.log")"
curl -sf "http://127.0.0.1:$web/metrics" >"$tmp/metrics.txt" || fail "no /metrics: $(cat "$tmp/program.log")"
promtool check metrics <"$tmp/metrics.txt" >"$tmp/promtool.txt" 2>&1 || fail "promtool: $(cat "$tmp/promtool.txt")"
[ ! -s "$tmp/promtool.txt" ] || fail "promtool warns: $(cat "$tmp/promtool.txt")"

api=$(free_port)
cat >"$tmp/prometheus.yml" <<YML
global:
  scrape_interval: 1s
scrape_configs:
  - job_name: registrator
    static_configs:
      - targets: ["127.0.0.1:$web"]
YML
prometheus --config.file="$tmp/prometheus.yml" --storage.tsdb.path="$tmp/tsdb" \
    --web.listen-address="127.0.0.1:$api" >"$tmp/prometheus.log" 2>&1 &
pids+=($!)
query() { curl -sf --get "http://127.0.0.1:$api/api/v1/query" --data-urlencode "query=$1"; }
cat >"$tmp/check.py" <<'PY'
import json, sys
up, motor, count, cycles = (json.loads(a)["data"]["result"] for a in sys.argv[1:])
assert up and up[0]["value"][1] == "1", f"the target is not up: {up}"
assert len(motor) == 1, f"one series for channel 3: {motor}"
labels = motor[0]["metric"]
assert labels["section"] == "Массоподготовка" and labels["name"] == "Рыхлитель 2 питателя 710", labels
assert float(motor[0]["value"][1]) >= 0, motor
assert count and count[0]["value"][1] == "72", count
assert cycles and float(cycles[0]["value"][1]) > 100, cycles
print(f"prometheus-scrape: up, channel 3 ({labels['name']}) at {motor[0]['value'][1]} A, 72 motors,",
      f"{cycles[0]['value'][1]} scan cycles")
PY
# Until Prometheus has scraped, its answers are empty and the check fails; its last word is kept.
scraped() {
    python3 "$tmp/check.py" "$(query 'up{job="registrator"}')" "$(query 'registrator_current_amperes{channel="3"}')" \
        "$(query 'count(registrator_current_amperes)')" "$(query 'registrator_scan_cycles_total')" >"$tmp/check.log" 2>&1
}
wait_for 120 scraped || fail "$(cat "$tmp/check.log") $(tail -n 5 "$tmp/prometheus.log")"
cat "$tmp/check.log"
