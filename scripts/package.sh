#!/usr/bin/env bash
# Builds the portable release archive: build/package/registrator-<version>-linux-<machine>.tar.gz,
# one folder holding the three executables, the start script registrator.sh, an empty Data/, the
# desktop entry and icon, the README and the licence.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${RUN_PACKAGES[@]}"

cmake --preset run
cmake --build --preset run -j "$(nproc)" --target Registrator registrator-archive registrator-scan
cpack --config build/CPackConfig.cmake -B build/package
ls -l build/package/registrator-*.tar.gz
