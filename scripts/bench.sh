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

# One row a figure: benchmark | figure | aim and unit | what it compares. A figure "A / B" is A's time over
# B's, as the program's own "ratio" lines give it; "A" is A's time a run; "A : C" is A's counter C. An aim
# is "<= x", ">= x", "x..y", or "-" for a figure shown for what it tells. The aims the benchmarks print
# themselves are repeated here; the others keep a tick's work well inside the fast timer's 10 ms, and a
# feature's cost to the tick at half a tick more at the most.
figures=$(cat <<'TABLE'
bench_archive    | BM_ReadArhivFullDay / BM_PlainSequentialRead   | <= 1.5 x | a full day's ReadArhiv / a plain read of the file
bench_scan       | BM_ScanConverters / BM_BareRegisterCalls       | <= 1.3 x | the scan protocol / the same register calls bare
bench_scan       | BM_AverageAndConvertOverSimulatedPort          | <= 500 us | a fast tick's reading: AverageScans(5) + ConvertReadings
bench_settings   | BM_LoadAll / BM_PlainRead                      | - x | loading the 72 settings / a plain read
bench_settings   | BM_SaveAll / BM_PlainWriteSynced               | - x | saving the 72 settings atomically / a plain write waiting for the disk
bench_settings   | BM_SaveAll                                     | <= 100 ms | saving the 72 settings
bench_ui_tick    | MainWindowTick / CoreScanCycle                 | - x | a fast tick of the main window / the core scan cycle
bench_ui_tick    | MainWindowTick                                 | <= 2000 us | a fast tick of the main window (every 10 ms)
bench_ui_tick    | MainWindowSlowTick / CoreHistoryStep           | - x | a slow tick (append, status line) / the core history step
bench_ui_tick    | MainWindowSlowTick                             | <= 5000 us | a slow tick (every second)
bench_ui_events  | TickWithEvents / TickWithoutEvents             | <= 1.5 x | the tick with events, journal and alarms / without
bench_ui_events  | TickWithoutEventsAgain / TickWithoutEvents     | 0.9..1.1 x | the same tick measured twice: how far this run's figures spread
bench_ui_section | RefreshMotor / FillPlainVector                 | - x | a section window refresh on a full ring / copying its 3000 values
bench_ui_section | RefreshMotor                                   | <= 50000 us | a section window refresh on a full ring
bench_ui_archive | RefreshArhivFullDay / ReadArhivFullDay         | <= 3 x | the archive viewer's refresh of a full day / the read alone
bench_ui_web     | TickWith20Pages / TickWithNoPage               | <= 1.5 x | the tick with 20 live pages / with none
bench_ui_web     | TickWith20PagesEachTickPushed / TickWithNoPage | - x | the tick pushing every tick to 20 pages / with none
bench_ui_web     | TickToPage                                     | <= 50000 us | from a tick to its event at a page's socket
bench_ui_modbus  | TickWithModbusNoClient / TickWithoutModbus     | <= 1.5 x | the tick with the Modbus server / without
bench_ui_modbus  | TickWith8ModbusClients / TickWithoutModbus     | <= 1.5 x | the tick with 8 clients polling 10 times a second / without the server
bench_ui_modbus  | Read72Registers : p99_us                       | <= 5000 us | a 72-register read on loopback, 99th percentile
bench_ui_mqtt    | TickWhileReplaying/0 / TickWithoutPublisher    | <= 1.5 x | the tick while a day's backlog goes out flat out / with no publisher
bench_ui_mqtt    | TickWhileReplaying/200 / TickWithoutPublisher  | <= 1.5 x | the tick while the backlog goes out at 200 records a second / with no publisher
bench_ui_mqtt    | ReplayFullDay : records/s                      | >= 2000 records/s | a full day's backlog replayed flat out
bench_history    | BM_BuildMonthCold / BM_ReadMonthCold           | <= 1.3 x | a month's digests made, files not cached / reading them once
bench_history    | BM_BuildMonthWarm / BM_ReadMonthWarm           | - x | a month's digests made, files cached / reading them once
bench_history    | BM_QueryMonthOf8Motors                         | <= 100 ms | a month of 8 motors from digests
bench_history    | BM_QueryYearOf1Motor                           | <= 100 ms | a year of one motor from digests
bench_history    | BM_QueryHourOfRecords                          | <= 20 ms | an hour of 1 s records from the middle of a day
bench_history    | BM_CsvMonthPerRecord / BM_CsvMonthPlainReader  | <= 2 x | a month's CSV of one motor per record / a plain reader
bench_reports    | BM_MonthFiguresWithDigests                     | <= 2 s | a month's figures of 72 motors, the digests there
bench_reports    | BM_MonthFiguresWithoutDigests / BM_ReadMonth   | <= 1.5 x | the same with no digest / reading the month's day files once
bench_reports    | BM_BuildMonthDigests / BM_ReadMonth            | - x | the month's digests alone / reading the day files once
bench_ui_schedule | TickWhileMonthReport / TickWithoutReport     | <= 1.05 x | the tick while the schedule writes a month's report from its days' digests / with none
bench_ui_schedule | TickWhileMonthReportFromDayFiles / TickWithoutReport | - x | the same with every digest made on the way / with none
bench_ui_schedule | TickWithoutReportAgain / TickWithoutReport  | 0.9..1.1 x | the same tick measured twice: how far this run's figures spread
bench_reports    | BM_HealthFirstTime                             | - s | the motor health of the month, none of it kept yet
bench_reports    | BM_HealthFromCache                             | - s | the same again, the finished days kept
bench_ui_trend   | BM_TrendDataYear                               | <= 100 ms | the web view's /trend/data for a year of one motor, digests present
bench_ui_trend   | BM_TrendDataYear / BM_CoreQueryYear            | - x | that answer / the core query it is made from
bench_ui_trend   | BM_ToolTrendMonthRecords / BM_PlainMonthCsv    | <= 2 x | registrator-archive trend --records, a month of one motor / a plain reader writing the same CSV
bench_ui_trend   | BM_ToolReadingsMonth / BM_PlainMonthCsv        | - x | registrator-archive readings day by day for the month / the same plain reader
bench_ui_period  | WindowMonthOf8Motors                           | <= 100 ms | the period window: a month of 8 motors from request to drawn chart
bench_ui_period  | WindowMonthOf8Motors / CoreQueryMonthOf8Motors | - x | the same / the core query alone
bench_ui_period  | WindowZoomHourOfRecords                        | <= 20 ms | the period window zoomed to an hour of 1 s records, drawn
bench_ui_period  | SecondsInTurn/FollowingMonth : ratio           | <= 1.05 x | a second of ticks, the window following a month live / without it, in turn
bench_ui_period  | SecondsInTurn/FollowingToday : ratio           | <= 1.05 x | a second of ticks, the window following today live / without it, in turn
bench_ui_period  | SecondsInTurn/NoWindowEither : ratio           | 0.95..1.05 x | two stations without it, in turn: how far this run's figures spread
bench_ui_period  | WindowMemoryMonthOf8Motors : MB                | <= 20 MB | the period window's resident memory with a month of 8 motors shown
TABLE
)

BENCH_FIGURES=$figures python3 - "$results" "${names[@]}" <<'EOF'
import json, os, sys

FIGURES = []
for line in os.environ["BENCH_FIGURES"].splitlines():
    program, figure, aim, what = (cell.strip() for cell in line.split("|"))
    *limit, unit = aim.split()
    FIGURES.append((program, figure, what, " ".join(limit), unit))
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

def figure(program, rule):
    case, _, counter = rule.partition(" : ")
    if counter:
        run = find(program, case)
        return run.get(counter) if run else None
    case, _, baseline = rule.partition(" / ")
    run = find(program, case)
    if run is None:
        return None
    if not baseline:
        return seconds(run)
    other = find(program, baseline)
    return seconds(run) / seconds(other) if other else None

def meets(value, aim):
    if aim == "-":
        return ""
    if ".." in aim:
        low, high = map(float, aim.split(".."))
        return low <= value <= high
    op, limit = aim.split()
    return value <= float(limit) if op == "<=" else value >= float(limit)

rows = [("benchmark", "compares", "aim", "figure", "")]
for program, rule, what, aim, unit in FIGURES:
    if program not in names:
        continue
    shown_aim = f"{aim} {unit}" if aim != "-" else "-"
    value = figure(program, rule)
    if value is None:
        rows.append((program, what, shown_aim, "no figure", "?"))
        continue
    if " / " not in rule and " : " not in rule:
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
