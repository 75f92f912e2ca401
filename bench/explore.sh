#!/usr/bin/env bash
# bench/explore.sh: the explore page on the largest data set (10000 points,
# ten sets; bench/make_large_data.cpp, seed 6563): its size, and its redraw
# time in the system's Chromium (bench/explore_redraw.js), which must stay
# under 50 ms. Builds linesynth-tools in Release (build/perf, as perf.sh
# does) and installs puppeteer-core as the browser tests do.
# Needs cmake, g++, make, node, npm and chromium.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/perf"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DLINESYNTH_BUILD_TESTS=OFF -DLINESYNTH_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target linesynth-tools linesynth_make_large_data >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/linesynth_make_large_data" "$work/data" 6563
"$build/bin/linesynth-tools" explore --dir "$work/data" --fit --scale -o "$work/explore.html"
"$root/tests/explore/install_puppeteer.sh" "$root/build/npm-explore"
node "$root/bench/explore_redraw.js" "$work/explore.html" "$root/build/npm-explore/node_modules"
