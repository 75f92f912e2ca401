#!/usr/bin/env bash
# Runs both fuzz targets for a bounded time each; builds nothing.
#   tests/fuzz/run_fuzzers.sh SECONDS [BUILD_DIR]
# BUILD_DIR is a build of the "fuzz" preset (default build/fuzz). Each fuzzer
# starts from its corpus in the source tree and writes what it adds to a
# scratch directory, so the tree is left as it is. A finding (a crash, a leak,
# a sanitizer report, a timeout) ends that fuzzer, leaves its input in
# BUILD_DIR/fuzz-findings and makes the script fail.
set -euo pipefail

if [ "$#" -lt 1 ] || [ "$#" -gt 2 ]; then
  echo "usage: $0 SECONDS [BUILD_DIR]" >&2
  exit 2
fi
seconds=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(cd "${2:-$source_dir/build/fuzz}" && pwd)
findings=$build_dir/fuzz-findings
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
for target in reader:corpus run:run_corpus; do
  name=${target%%:*}
  corpus=$source_dir/tests/fuzz/${target#*:}
  fuzzer=$build_dir/tests/fuzz/${name}_fuzzer
  mkdir -p "$scratch/$name"
  echo "== ${name}_fuzzer for ${seconds}s"
  # Standard error of the target (its run-time error reports) is closed;
  # libFuzzer and the sanitizers keep their own copy of it.
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$findings/${name}-" \
       "$scratch/$name" "$corpus"; then
    status=1
  fi
done
exit "$status"
