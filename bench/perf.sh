#!/usr/bin/env bash
# bench/perf.sh [--callgrind]: the speed of a run on the largest data set,
# against the I/O floor, from a fresh clone with one command.
#
# It builds linesynth in Release (build/perf), makes the largest data set
# (bench/make_large_data.cpp, seed 6563) in a temporary directory, and then:
#   1. runs linesynth once on a fresh copy and checks that RDF.txt, RDF1.txt,
#      RDF2.txt and vltOut.htm (the generated page plus this run's record)
#      match bench/expected.sha256 byte for byte, and reports the run's peak
#      resident memory (bench/peak_rss.cpp);
#   2. times the floor (bench/io_floor.cpp: the same input read whole, files
#      of the tables' sizes written in 1024-byte blocks, one summary record)
#      and linesynth alternately with hyperfine: ROUNDS rounds of RUNS runs of
#      each, after a warm-up in every round, with the page reset before each
#      run so that it does not grow; the medians are taken over all runs;
#      "linesynth-tools fit" and "fit --scale" on the same data are timed in
#      the same rounds; then "fit --scale --realizations 1000" on the example
#      data with its sigma file, pinned to one core;
#   3. times "linesynth-tools survey --fit" over SURVEY_COPIES copies of the
#      example (examples/make_example_data.py --survey) with --jobs 1 and
#      --jobs 2, and gives the directories per second on one core and the
#      speed-up of two threads (checked only on a machine with two cores);
#   4. with --callgrind, counts instructions with valgrind's callgrind (see
#      callgrind_figures below for what they mean).
# It exits with status 1 when a digest differs, the ratio of the medians
# exceeds MAX_RATIO, fit or fit --scale takes more than MAX_FIT_RATIO times as
# long as linesynth, the realizations more than MAX_REALIZATIONS_MS, the
# survey reads fewer than MIN_SURVEY_RATE directories a second on one core,
# or two threads are less than MIN_SURVEY_SPEEDUP times as fast as one,
# having printed the figures either way.
#
# Needs cmake, g++, make, hyperfine and python3 (valgrind for --callgrind):
#   apt-get install cmake g++ make hyperfine python3 valgrind
set -euo pipefail

readonly MAX_RATIO=1.8
readonly MAX_FIT_RATIO=3
readonly MAX_REALIZATIONS_MS=2000
readonly MIN_SURVEY_RATE=200
readonly MIN_SURVEY_SPEEDUP=1.7
readonly SURVEY_COPIES=1000
readonly ROUNDS=${ROUNDS:-5}
readonly RUNS=${RUNS:-8}
readonly WARMUP=3
readonly SEED=6563

callgrind=false
for argument in "$@"; do
  case "$argument" in
    --callgrind) callgrind=true ;;
    *) echo "usage: bench/perf.sh [--callgrind]" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/perf"
needed=(cmake hyperfine python3 sha256sum)
$callgrind && needed+=(valgrind)
for tool in "${needed[@]}"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "perf.sh: $tool is not installed" >&2; exit 2; }
done

start=$SECONDS
echo "== Building (Release, $build)"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DLINESYNTH_BUILD_TESTS=OFF -DLINESYNTH_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target linesynth linesynth-tools linesynth_make_large_data \
  linesynth_io_floor linesynth_peak_rss >/dev/null
program="$build/bin/linesynth"
tools="$build/bin/linesynth-tools"
floor="$build/bench/linesynth_io_floor"
peak_rss="$build/bench/linesynth_peak_rss"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/linesynth_make_large_data" "$work/data" "$SEED"
cp "$work/data/vltOut.htm" "$work/page.htm"
input_bytes=$(cat "$work"/data/*.txt | wc -c)

# A run on its own copy of the data; the stop line goes to the null device.
run_on() {  # run_on DIR [PREFIX...]
  local dir=$1
  shift
  TAVO_DIR="$dir/" "$@" "$program" </dev/null >/dev/null
}

echo "== Checking the outputs against bench/expected.sha256"
status=0
cp -r "$work/data" "$work/check"
if ! run_on "$work/check" "$peak_rss" 2>"$work/rss.txt"; then
  echo "linesynth did not reach its normal stop" >&2
  cat "$work/rss.txt" >&2
  status=1
fi
peak_kib=$(sed -n 's/^peak resident memory: \([0-9]*\) KiB$/\1/p' "$work/rss.txt")
if (cd "$work/check" && sha256sum --check --strict "$root/bench/expected.sha256"); then
  digests=same
else
  digests=DIFFERENT
  status=1
fi

echo "== Timing: $ROUNDS rounds of $RUNS runs each, floor, linesynth and fit in turn"
cp -r "$work/data" "$work/run"
export TAVO_DIR="$work/run/"
for round in $(seq "$ROUNDS"); do
  hyperfine --shell=none --style none --warmup "$WARMUP" --runs "$RUNS" \
    --prepare "cp $work/page.htm $work/run/vltOut.htm" \
    --export-json "$work/round$round.json" \
    --command-name floor "$floor $work/run" \
    --command-name linesynth "$program" \
    --command-name fit "$tools fit" \
    --command-name fit_scale "$tools fit --scale"
done
unset TAVO_DIR

example="$root/examples/data"
one_core=()
command -v taskset >/dev/null 2>&1 && one_core=(taskset -c 0)
hyperfine --shell=none --style none --warmup 1 --runs 5 --export-json "$work/realizations.json" \
  --command-name realizations \
  "${one_core[*]} $tools fit --dir $example --scale --sigma $example/sigma.txt --realizations 1000"
realizations_ms=$(python3 - "$work/realizations.json" <<'EOF'
import json, statistics, sys
print(f"{statistics.median(json.load(open(sys.argv[1]))['results'][0]['times']) * 1e3:.1f}")
EOF
)

read -r floor_ms program_ms ratio runs_each fit_ms fit_ratio scaled_ms scaled_ratio < <(python3 - "$work"/round*.json <<'EOF'
import json, statistics, sys
times = {"floor": [], "linesynth": [], "fit": [], "fit_scale": []}
for name in sys.argv[1:]:
    for result in json.load(open(name))["results"]:
        times[result["command"]] += result["times"]
floor = statistics.median(times["floor"]) * 1e3
program = statistics.median(times["linesynth"]) * 1e3
fit = statistics.median(times["fit"]) * 1e3
scaled = statistics.median(times["fit_scale"]) * 1e3
print(f"{floor:.3f} {program:.3f} {program / floor:.3f} {len(times['floor'])} "
      f"{fit:.3f} {fit / program:.3f} {scaled:.3f} {scaled / program:.3f}")
EOF
)

echo "== Survey: survey --fit over $SURVEY_COPIES copies of the example, --jobs 1 and 2"
python3 "$root/examples/make_example_data.py" --survey "$SURVEY_COPIES" "$work/survey"
ls -d "$work"/survey/*/ >"$work/survey.txt"
hyperfine --shell=none --style none --warmup 1 --runs "$ROUNDS" \
  --export-json "$work/survey.json" \
  --command-name jobs1 "$tools survey --fit --jobs 1 --from $work/survey.txt -o $work/survey1.ecsv" \
  --command-name jobs2 "$tools survey --fit --jobs 2 --from $work/survey.txt -o $work/survey2.ecsv"
cmp -s "$work/survey1.ecsv" "$work/survey2.ecsv" && survey_tables=same || survey_tables=DIFFERENT
read -r survey_rate survey_speedup < <(python3 - "$work/survey.json" "$SURVEY_COPIES" <<'EOF'
import json, statistics, sys
times = {r["command"]: statistics.median(r["times"]) for r in json.load(open(sys.argv[1]))["results"]}
print(f"{int(sys.argv[2]) / times['jobs1']:.0f} {times['jobs1'] / times['jobs2']:.2f}")
EOF
)

# callgrind_figures: instructions (callgrind's Ir, the whole process from its
# first instruction) of runs on variants of the data set, so that everything
# but the work per value cancels out, start-up and the dynamic loader included:
#   per input value = (Ir(ten sets) - Ir(one set)) / 90009. The weights file
#     of the second run says 1 set, so it reads 9 component files fewer, each
#     a count and 10000 reals; the same tables are written. Charged to each
#     value: scanning, conversion, storing, the subtraction of the continuum,
#     the weighted add, and the share of opening and closing its file.
#   per output real = (Ir(last file 10000 rows) - Ir(last file 1 row)) /
#     (9999 * 8). Both runs read the same number of values: in one, the count
#     record of VeltoOut10.txt says 1, in the other that of VeltoOut1.txt, so
#     the tables have 1 or 10000 rows. The 9999 rows more hold 8 reals in
#     RDF.txt and RDF1.txt; their integers in RDF2.txt, the scale maps, the
#     calibration conversions and the integral's terms are charged to those
#     8 reals. The cost per table row (all three files) is printed as well.
callgrind_ir() {  # callgrind_ir VARIANT: Ir of a run on $work/VARIANT
  run_on "$work/$1" valgrind --tool=callgrind --callgrind-out-file="$work/$1.callgrind" \
    2>/dev/null
  sed -n 's/^totals: *\([0-9]*\)$/\1/p' "$work/$1.callgrind"
}
variant() {  # variant NAME FILE: a copy of the data with FILE's first record set to 1
  cp -r "$work/data" "$work/$1"
  sed -i '1s/^[0-9]*/1/' "$work/$1/$2"
}
if $callgrind; then
  echo "== Counting instructions (callgrind)"
  cp -r "$work/data" "$work/cga"
  variant cgb synthesis.txt
  variant cgc VeltoOut10.txt
  variant cgd VeltoOut1.txt
  ir_all=$(callgrind_ir cga)
  ir_one_set=$(callgrind_ir cgb)
  ir_one_row=$(callgrind_ir cgc)
  ir_all_rows=$(callgrind_ir cgd)
fi

echo
echo "== Largest data set: 10000 points, 10 sets, $input_bytes bytes in"
printf '%-36s %s\n' "outputs (bench/expected.sha256):" "$digests"
printf '%-36s %s ms\n' "floor median ($runs_each runs):" "$floor_ms"
printf '%-36s %s ms\n' "linesynth median ($runs_each runs):" "$program_ms"
printf '%-36s %s (at most %s)\n' "ratio:" "$ratio" "$MAX_RATIO"
printf '%-36s %s ms\n' "linesynth-tools fit median:" "$fit_ms"
printf '%-36s %s (at most %s)\n' "fit / linesynth:" "$fit_ratio" "$MAX_FIT_RATIO"
printf '%-36s %s ms\n' "linesynth-tools fit --scale median:" "$scaled_ms"
printf '%-36s %s (at most %s)\n' "fit --scale / linesynth:" "$scaled_ratio" "$MAX_FIT_RATIO"
printf '%-36s %s ms (at most %s)\n' "example, 1000 realizations:" "$realizations_ms" \
  "$MAX_REALIZATIONS_MS"
printf '%-36s %s KiB\n' "linesynth peak resident memory:" "$peak_kib"
printf '%-36s %s/s (at least %s)\n' "survey --fit, one core:" "$survey_rate" "$MIN_SURVEY_RATE"
printf '%-36s %s (at least %s on 2 cores; %s here)\n' "survey --jobs 2 / --jobs 1 speed:" \
  "$survey_speedup" "$MIN_SURVEY_SPEEDUP" "$(nproc)"
printf '%-36s %s\n' "survey tables, --jobs 1 and 2:" "$survey_tables"
if $callgrind; then
  printf '%-36s %s\n' "instructions, whole run:" "$ir_all"
  awk -v a="$ir_all" -v b="$ir_one_set" -v c="$ir_one_row" -v d="$ir_all_rows" 'BEGIN {
    printf "%-36s %.1f\n", "instructions per input value:", (a - b) / 90009
    printf "%-36s %.1f\n", "instructions per output real:", (d - c) / (9999 * 8)
    printf "%-36s %.1f\n", "instructions per table row:", (d - c) / 9999
  }'
fi
echo "(bench/perf.sh took $((SECONDS - start)) s)"

if awk -v r="$ratio" -v m="$MAX_RATIO" 'BEGIN { exit !(r > m) }'; then
  echo "perf.sh: the ratio $ratio exceeds $MAX_RATIO" >&2
  status=1
fi
if awk -v r="$fit_ratio" -v m="$MAX_FIT_RATIO" 'BEGIN { exit !(r > m) }'; then
  echo "perf.sh: fit takes $fit_ratio times as long as linesynth, more than $MAX_FIT_RATIO" >&2
  status=1
fi
if awk -v r="$scaled_ratio" -v m="$MAX_FIT_RATIO" 'BEGIN { exit !(r > m) }'; then
  echo "perf.sh: fit --scale takes $scaled_ratio times as long as linesynth, more than $MAX_FIT_RATIO" >&2
  status=1
fi
if awk -v t="$realizations_ms" -v m="$MAX_REALIZATIONS_MS" 'BEGIN { exit !(t > m) }'; then
  echo "perf.sh: 1000 realizations take $realizations_ms ms, more than $MAX_REALIZATIONS_MS" >&2
  status=1
fi
if awk -v r="$survey_rate" -v m="$MIN_SURVEY_RATE" 'BEGIN { exit !(r < m) }'; then
  echo "perf.sh: the survey reads $survey_rate directories a second, fewer than $MIN_SURVEY_RATE" >&2
  status=1
fi
if [ "$(nproc)" -ge 2 ] &&
  awk -v r="$survey_speedup" -v m="$MIN_SURVEY_SPEEDUP" 'BEGIN { exit !(r < m) }'; then
  echo "perf.sh: two survey threads are $survey_speedup times as fast as one, not $MIN_SURVEY_SPEEDUP" >&2
  status=1
fi
if [ "$survey_tables" != same ]; then
  echo "perf.sh: the survey tables of --jobs 1 and --jobs 2 differ" >&2
  status=1
fi
[ "$digests" = same ] || echo "perf.sh: the outputs differ from bench/expected.sha256" >&2
exit "$status"
