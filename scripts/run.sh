#!/usr/bin/env bash
# Builds the program and starts it with the simulated plant, in a working folder that has a Data
# folder so the archive records. Extra arguments go to the program (for example --port /dev/parport1
# instead of the simulation: pass --real).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
# Only what building and running needs: the tests and benchmarks are left out (preset "run").
ensure_packages "${RUN_PACKAGES[@]}"

cmake --preset run
cmake --build --preset run -j "$(nproc)" --target Registrator

# A first try-out gets a believable calibration; an existing settings file is never touched.
if [ ! -e build/Registrator.INI ]; then
    bash scripts/demo-settings.sh build/Registrator.INI
fi

workdir=${REGISTRATOR_WORKDIR:-$PWD/run}
mkdir -p "$workdir/Data"
cd "$workdir"
args=(--simulate)
if [ "${1:-}" = "--real" ]; then
    shift
    args=()
fi
exec "$OLDPWD/build/Registrator" "${args[@]}" "$@"
