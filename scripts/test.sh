#!/usr/bin/env bash
# Builds and runs every test: first the format of the sources, then the default preset (core, ui, tools,
# and each benchmark once, a few milliseconds a case, so that one that hangs or crashes fails: ctest label
# "bench"; the core and ui tests under both the C and a Russian locale), then the core tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, then a bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

# Every tracked C++ source as .clang-format lays it out; the ones that differ are named (fix them with
# clang-format -i).
unformatted=()
while IFS= read -r -d '' file; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
    'bench/*.cpp' 'bench/*.h')
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "Not formatted as .clang-format asks (clang-format -i FILE...):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi

use_compiler_cache
jobs=$(nproc)
cmake --preset default
cmake --build --preset default -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --preset default -j "$jobs" -LE '^(core|ui)$'

# The core and ui tests under the C locale and under a Russian one, where the C library writes a
# decimal comma: their main takes the C library's locale from the system, as Qt does in the program.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8'; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
for lang in C ru_RU.UTF-8; do
    LANG=$lang LC_ALL=$lang QT_QPA_PLATFORM=offscreen ctest --preset default -j "$jobs" -L '^(core|ui)$'
done

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize -j "$jobs"

scripts/fuzz.sh --bounded
