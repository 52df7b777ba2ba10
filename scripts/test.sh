#!/usr/bin/env bash
# Builds and runs every test: the default preset (core, ui, tools, and each benchmark once, a few
# milliseconds a case, so that one that hangs or crashes fails: ctest label "bench"), then the core
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, then a bounded run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

jobs=$(nproc)
cmake --preset default
cmake --build --preset default -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --preset default -j "$jobs"

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize -j "$jobs"

scripts/fuzz.sh --bounded
