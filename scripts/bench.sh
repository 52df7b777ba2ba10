#!/usr/bin/env bash
# Builds every benchmark in bench/ and runs each as it is meant to run (its own minimum time a case, not
# the brief run the tests make), then prints one table: what each figure compares, its aim, this run's
# figure and whether it meets the aim. Each program's own output stays in build/bench-results/NAME.txt
# (and .json). The ratios set a case against a baseline of the same run, but a busy machine still
# spreads them: run it on an otherwise idle one. It takes about ten minutes.
#   scripts/bench.sh                     every benchmark
#   scripts/bench.sh bench_scan ...      only those
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target benchmarks

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for source in bench/bench_*.cpp; do
        names+=("$(basename "$source" .cpp)")
    done
fi
results=build/bench-results
mkdir -p "$results"
failed=0
for name in "${names[@]}"; do
    rm -f "$results/$name.json" "$results/$name.txt"
    if [ ! -x "build/bench/$name" ]; then
        # bench_ui_modbus needs libmodbus-dev, bench_ui_mqtt libmosquitto-dev, at configure time.
        echo "$name: not built (see the configure output)" >&2
        failed=1
        continue
    fi
    echo "running $name" >&2
    if ! QT_QPA_PLATFORM=offscreen "build/bench/$name" --benchmark_color=false --benchmark_out="$results/$name.json" \
        --benchmark_out_format=json >"$results/$name.txt" 2>&1; then
        echo "$name: FAILED, see $results/$name.txt" >&2
        failed=1
    fi
done

python3 - "$results" "${names[@]}" <<'EOF'
import json, os, sys

# program, figure, what it compares, aim ("<= x", ">= x", "x..y", or "" for a figure shown for what it
# tells), unit. ratio(A, B): A's time over B's, as the program's own "ratio" lines give it; time(A): A's
# time a run; counter(A, C): A's counter C. The aims the benchmarks print themselves are repeated here;
# the others keep a tick's work well inside the fast timer's 10 ms, and a feature's cost to it at half a
# tick more at the most.
def ratio(a, b): return ("ratio", a, b)
def time(a): return ("time", a)
def counter(a, c): return ("counter", a, c)

FIGURES = [
    ("bench_archive", ratio("BM_ReadArhivFullDay", "BM_PlainSequentialRead"),
     "a full day's ReadArhiv / a plain read of the file", "<= 1.5", "x"),
    ("bench_scan", ratio("BM_ScanConverters", "BM_BareRegisterCalls"),
     "the scan protocol / the same register calls bare", "<= 1.3", "x"),
    ("bench_scan", time("BM_AverageAndConvertOverSimulatedPort"),
     "a fast tick's reading: AverageScans(5) + ConvertReadings", "<= 500", "us"),
    ("bench_settings", ratio("BM_LoadAll", "BM_PlainRead"), "loading the 72 settings / a plain read", "", "x"),
    ("bench_settings", ratio("BM_SaveAll", "BM_PlainWriteSynced"),
     "saving the 72 settings atomically / a plain write waiting for the disk", "", "x"),
    ("bench_settings", time("BM_SaveAll"), "saving the 72 settings", "<= 100", "ms"),
    ("bench_ui_tick", ratio("MainWindowTick", "CoreScanCycle"),
     "a fast tick of the main window / the core scan cycle", "", "x"),
    ("bench_ui_tick", time("MainWindowTick"), "a fast tick of the main window (every 10 ms)", "<= 2000", "us"),
    ("bench_ui_tick", ratio("MainWindowSlowTick", "CoreHistoryStep"),
     "a slow tick (append, status line) / the core history step", "", "x"),
    ("bench_ui_tick", time("MainWindowSlowTick"), "a slow tick (every second)", "<= 5000", "us"),
    ("bench_ui_events", ratio("TickWithEvents", "TickWithoutEvents"),
     "the tick with events, journal and alarms / without", "<= 1.5", "x"),
    ("bench_ui_events", ratio("TickWithoutEventsAgain", "TickWithoutEvents"),
     "the same tick measured twice: how far this run's figures spread", "0.9..1.1", "x"),
    ("bench_ui_section", ratio("RefreshMotor", "FillPlainVector"),
     "a section window refresh on a full ring / copying its 3000 values", "", "x"),
    ("bench_ui_section", time("RefreshMotor"), "a section window refresh on a full ring", "<= 50000", "us"),
    ("bench_ui_archive", ratio("RefreshArhivFullDay", "ReadArhivFullDay"),
     "the archive viewer's refresh of a full day / the read alone", "<= 3", "x"),
    ("bench_ui_web", ratio("TickWith20Pages", "TickWithNoPage"), "the tick with 20 live pages / with none",
     "<= 1.5", "x"),
    ("bench_ui_web", ratio("TickWith20PagesEachTickPushed", "TickWithNoPage"),
     "the tick pushing every tick to 20 pages / with none", "", "x"),
    ("bench_ui_web", time("TickToPage"), "from a tick to its event at a page's socket", "<= 50000", "us"),
    ("bench_ui_modbus", ratio("TickWithModbusNoClient", "TickWithoutModbus"),
     "the tick with the Modbus server / without", "<= 1.5", "x"),
    ("bench_ui_modbus", ratio("TickWith8ModbusClients", "TickWithoutModbus"),
     "the tick with 8 clients polling 10 times a second / without the server", "<= 1.5", "x"),
    ("bench_ui_modbus", counter("Read72Registers", "p99_us"),
     "a 72-register read on loopback, 99th percentile", "<= 5000", "us"),
    ("bench_ui_mqtt", ratio("TickWhileReplaying/0", "TickWithoutPublisher"),
     "the tick while a day's backlog goes out flat out / with no publisher", "<= 1.5", "x"),
    ("bench_ui_mqtt", ratio("TickWhileReplaying/200", "TickWithoutPublisher"),
     "the tick while the backlog goes out at 200 records a second / with no publisher", "<= 1.5", "x"),
    ("bench_ui_mqtt", counter("ReplayFullDay", "records/s"), "a full day's backlog replayed flat out",
     ">= 2000", "records/s"),
]
SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}

folder, names = sys.argv[1], sys.argv[2:]
runs = {}
for name in names:
    path = os.path.join(folder, name + ".json")
    if os.path.exists(path):
        with open(path) as f:
            runs[name] = [b for b in json.load(f).get("benchmarks", []) if b.get("run_type") == "iteration"]

def find(program, case):
    for run in runs.get(program, []):
        if run["name"] == case or run["name"].startswith(case + "/"):
            return run
    return None

def seconds(run):
    return run["real_time"] * SECONDS[run["time_unit"]]

def figure(program, spec):
    run = find(program, spec[1])
    if run is None:
        return None
    if spec[0] == "counter":
        return run.get(spec[2])
    if spec[0] == "time":
        return seconds(run)
    baseline = find(program, spec[2])
    return seconds(run) / seconds(baseline) if baseline else None

def meets(value, aim):
    if not aim:
        return ""
    if ".." in aim:
        low, high = map(float, aim.split(".."))
        return low <= value <= high
    op, limit = aim.split()
    return value <= float(limit) if op == "<=" else value >= float(limit)

rows = [("benchmark", "compares", "aim", "figure", "")]
for program, spec, what, aim, unit in FIGURES:
    if program not in names:
        continue
    shown_aim = f"{aim} {unit}" if aim else "-"
    value = figure(program, spec)
    if value is None:
        rows.append((program, what, shown_aim, "no figure", "?"))
        continue
    if spec[0] == "time":
        value /= SECONDS[unit]
    shown = f"{value:.3f}" if unit == "x" else f"{value:.0f}" if value >= 100 else f"{value:.1f}"
    verdict = {True: "ok", False: "MISSED", "": ""}[meets(value, aim)]
    rows.append((program, what, shown_aim, f"{shown} {unit}", verdict))

widths = [max(len(row[i]) for row in rows) for i in range(5)]
for i, row in enumerate(rows):
    print("  ".join(cell.ljust(widths[j]) for j, cell in enumerate(row)).rstrip())
    if i == 0:
        print("  ".join("-" * w for w in widths))
EOF
exit $failed
