#!/usr/bin/env bash
# Builds linesynth in Release and runs it on a copy of the bundled example
# data in build/release/example-run/ (examples/ itself is never written to),
# then shows the new summary line and the first rows of each table.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
need_packages "${build_packages[@]}"
cmake --preset release
cmake --build --preset release --target run-example
