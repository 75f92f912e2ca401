#!/usr/bin/env bash
# A survey of many data directories, end to end, from a fresh clone:
#   scripts/survey-example.sh [N [DIR]]     (default: 50 copies in build/survey-example)
# 1. builds linesynth and linesynth-tools in Release (or takes the programs
#    named by LINESYNTH and LINESYNTH_TOOLS);
# 2. makes N copies of the example, each observed with weights of its own
#    (examples/make_example_data.py --survey), in DIR/dirs/;
# 3. runs linesynth on every copy with GNU parallel: one job per core, every
#    job whatever the others did (--halt never), standard input from
#    /dev/null so that a run that reaches a pause ends with its report, and a
#    joblog (DIR/joblog.txt) with each run's exit status;
# 4. collects them with linesynth-tools survey --fit into DIR/survey.ecsv,
#    which astropy.table.Table.read loads as it is.
# Exits with the survey's status: 0 when every directory was read.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
copies=${1:-50}
work=$(realpath -m "${2:-build/survey-example}")

if [[ -z "${LINESYNTH:-}" || -z "${LINESYNTH_TOOLS:-}" ]]; then
  need_packages "${build_packages[@]}" "parallel:parallel" "python3:python3"
  cmake --preset release >/dev/null
  cmake --build --preset release --target linesynth linesynth-tools
  LINESYNTH=$PWD/build/release/bin/linesynth
  LINESYNTH_TOOLS=$PWD/build/release/bin/linesynth-tools
else
  need_packages "parallel:parallel" "python3:python3"
fi

rm -rf "$work"
mkdir -p "$work"
python3 examples/make_example_data.py --survey "$copies" "$work/dirs"
ls -d "$work"/dirs/*/ >"$work/dirs.txt"

echo "== linesynth on $copies directories (GNU parallel, joblog $work/joblog.txt)"
# parallel's own status counts the failed jobs; the joblog and the survey
# tell which ones, so the script goes on to collect what there is.
LINESYNTH="$LINESYNTH" parallel --halt never --jobs 100% --joblog "$work/joblog.txt" \
  'TAVO_DIR={} "$LINESYNTH" </dev/null >{}console.txt' :::: "$work/dirs.txt" ||
  echo "some runs failed: see the Exitval column of $work/joblog.txt" >&2

echo "== linesynth-tools survey --fit into $work/survey.ecsv"
"$LINESYNTH_TOOLS" survey --fit --sigma-name sigma.txt --from "$work/dirs.txt" \
  -o "$work/survey.ecsv"
echo "$(($(wc -l <"$work/dirs.txt"))) directories surveyed; read it in Python with"
echo "  astropy.table.Table.read(\"$work/survey.ecsv\")"
