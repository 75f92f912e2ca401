#!/usr/bin/env bash
# Renders each man page given and fails on any warning or error of groff.
#   check_man_pages.sh [--failures SOURCE_DIR] docs/man/linesynth.1 ...
# With --failures, the first page must also list every failure number of the
# program's failures.h (found anywhere under SOURCE_DIR): F for the enum
# Failure, M for MathFault, e.g. "open_denied = 6414," -> F6414.
# Exit status 77 (skipped) when groff is not installed.
set -u
sources=""
if [ "${1:-}" = --failures ]; then
  sources=$2
  shift 2
fi
if ! command -v groff >/dev/null 2>&1; then
  echo "SKIPPED: groff is not installed (Debian package groff), so the man pages cannot be rendered"
  exit 77
fi
status=0
for page in "$@"; do
  if [ ! -f "$page" ]; then
    echo "FAIL: $page does not exist"
    status=1
    continue
  fi
  # -ww: every warning; -z: format but discard the output. Any text on the
  # error stream is a warning about the page.
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "FAIL: $page"
    echo "$warnings"
    status=1
  fi
  # man itself formats at the terminal's width; 80 columns is the usual one.
  if command -v man >/dev/null 2>&1; then
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
  else
    warnings=""
  fi
  if [ -n "$warnings" ]; then
    echo "FAIL: man -l $page"
    echo "$warnings"
    status=1
  fi
  [ "$status" -eq 0 ] && echo "ok: $page"
done

if [ -n "$sources" ]; then
  header=$(find "$sources" -name failures.h | head -n 1)
  numbers=$(awk '/enum class Failure/ {letter = "F"} /enum class MathFault/ {letter = "M"}
                 /^};/ {letter = ""}
                 letter != "" && match($0, /= [0-9]+,/) {print letter substr($0, RSTART + 2, RLENGTH - 3)}' \
              "$header")
  if [ -z "$numbers" ]; then
    echo "FAIL: no failure numbers found in ${header:-failures.h under $sources}"
    status=1
  fi
  for number in $numbers; do
    if ! grep -q "^\.B $number\$" "$1"; then
      echo "FAIL: $1 does not explain $number (from $header)"
      status=1
    fi
  done
  [ "$status" -eq 0 ] && echo "ok: $1 explains all $(echo "$numbers" | wc -w) failure numbers"
fi
exit "$status"
