#!/usr/bin/env bash
# bench/realizations.sh: the cost of one realization of "linesynth-tools fit"
# on the largest data set (bench/make_large_data.cpp, seed 6563: 10,000 rows,
# ten sets), with --scale, against the fit without realizations.
#
# It builds linesynth-tools in Release (build/perf, as bench/perf.sh does),
# times "fit --scale --realizations 0" and "fit --scale --realizations N"
# with hyperfine, and prints the time of the fit without realizations and
# the time per realization, (t(N) - t(0)) / N. It exits with status 1 when a
# realization costs more than MAX_US microseconds.
#
# Needs cmake, g++, make, hyperfine and python3.
set -euo pipefail

readonly MAX_US=20
readonly COUNT=${COUNT:-20000}
readonly RUNS=${RUNS:-10}
readonly SEED=6563

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/perf"
for tool in cmake hyperfine python3; do
  command -v "$tool" >/dev/null 2>&1 || { echo "realizations.sh: $tool is not installed" >&2; exit 2; }
done
echo "== Building (Release, $build)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DLINESYNTH_BUILD_TESTS=OFF -DLINESYNTH_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target linesynth-tools linesynth_make_large_data >/dev/null
tools="$build/src/tools/linesynth-tools"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/linesynth_make_large_data" "$work/data" "$SEED"

hyperfine --shell=none --style none --warmup 2 --runs "$RUNS" --export-json "$work/times.json" \
  --command-name none "$tools fit --dir $work/data --scale --realizations 0" \
  --command-name many "$tools fit --dir $work/data --scale --realizations $COUNT" >/dev/null
python3 - "$work/times.json" "$COUNT" "$MAX_US" <<'PYTHON'
import json
import sys

results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
count, bound = int(sys.argv[2]), float(sys.argv[3])
per_realization = (results["many"] - results["none"]) / count * 1e6
print(f"fit --scale without realizations:   {results['none'] * 1e3:.1f} ms (median)")
print(f"fit --scale, {count} realizations: {results['many'] * 1e3:.1f} ms (median)")
print(f"one realization:                    {per_realization:.2f} us (at most {bound:g})")
sys.exit(1 if per_realization > bound else 0)
PYTHON
