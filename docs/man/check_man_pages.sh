#!/usr/bin/env bash
# Renders each man page given and fails on any warning or error of groff.
#   check_man_pages.sh docs/man/linesynth.1 docs/man/linesynth-tools.1
# Exit status 77 (skipped) when groff is not installed.
set -u
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
exit "$status"
