#!/usr/bin/env bash
# Fuzzes the readers of what the program takes from outside (the fuzz preset: clang, libFuzzer,
# ASan and UBSan).
#   scripts/fuzz.sh TARGET SECONDS   one target for that long; inputs that reach new code are kept in
#                                    build-fuzz/corpus/TARGET for the next run
#   scripts/fuzz.sh --bounded        every target for a fixed number of runs from its seeds alone,
#                                    about a minute in all (scripts/test.sh runs this)
# Targets: settings_document settings_file numbers dates readings_file snapshot_file digest.
# A failing input is written to build-fuzz/failures/TARGET-*; keep it under tests/fuzz/ once understood.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(settings_document settings_file numbers dates readings_file snapshot_file digest)
# Runs per target in the bounded pass: about ten seconds each on a two-core machine.
declare -A bounded_runs=(
    [settings_document]=40000 [settings_file]=1000 [numbers]=100000
    [dates]=100000 [readings_file]=10000 [snapshot_file]=8000 [digest]=200
)

usage() {
    echo "usage: scripts/fuzz.sh TARGET SECONDS | scripts/fuzz.sh --bounded" >&2
    echo "targets: ${targets[*]}" >&2
    exit 2
}

build() {
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j "$(nproc)"
}

# The targets write their files to a folder of their own, on tmpfs where there is one: the settings
# save flushes every file it writes.
scratch=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/registrator-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# run TARGET WORKDIR LOG libFuzzer-options...
run() {
    local target=$1 work=$2 log=$3
    shift 3
    mkdir -p build-fuzz/failures
    "build-fuzz/tests/fuzz/fuzz_$target" -print_final_stats=1 -artifact_prefix="build-fuzz/failures/$target-" \
        "$@" "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1
}

if [ "${1:-}" = "--bounded" ]; then
    [ $# -eq 1 ] || usage
    build
    failed=0
    for target in "${targets[@]}"; do
        work="$scratch/corpus-$target"
        log="$scratch/$target.log"
        mkdir -p "$work"
        if run "$target" "$work" "$log" -runs="${bounded_runs[$target]}" -max_total_time=30; then
            runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
            seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
            echo "fuzz_$target: ${runs:-?} runs in ${seconds:-?} s, no failure"
        else
            echo "fuzz_$target: FAILED" >&2
            grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed|.*runtime error|    #[0-9]+ )' "$log" | head -40 >&2
            grep -E '^(artifact_prefix|Test unit written)' "$log" >&2 || true
            failed=1
        fi
    done
    exit $failed
fi

[ $# -eq 2 ] || usage
target=$1
seconds=$2
[[ " ${targets[*]} " == *" $target "* ]] || usage
[[ "$seconds" =~ ^[0-9]+$ ]] || usage
build
mkdir -p "build-fuzz/corpus/$target"
if ! run "$target" "build-fuzz/corpus/$target" "$scratch/$target.log" -max_total_time="$seconds"; then
    cat "$scratch/$target.log" >&2
    exit 1
fi
grep -E '^(Done|stat::number_of_executed_units)' "$scratch/$target.log"
