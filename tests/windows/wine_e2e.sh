#!/usr/bin/env bash
# End-to-end runs of the cross-built Windows programs under Wine, with the
# default data directory C:\TAVO\ (Wine's drive C:) and TAVO_DIR unset.
#
#   wine_e2e.sh WORK_DIR WINDOWS_BIN_DIR EXAMPLE_DATA LINUX_LINESYNTH [LINUX_TOOLS]
#
# WORK_DIR holds the Wine prefix (made once, kept for later runs) and the
# Linux runs. WINDOWS_BIN_DIR holds linesynth.exe and wine_helper.exe, and
# linesynth-tools.exe when it is built. Every case below starts from a fresh
# copy of the example data in C:\TAVO\ with changes of its own; each expected
# text was written by hand, except the example run and the statistics, which
# must equal what the Linux programs give on a copy of the same data.
#
# Exit status 77 (skipped) when wine is not installed, unless
# LINESYNTH_REQUIRE_WINE=1 (CI), where a missing wine fails.
set -uo pipefail
absolute() { [ -n "$1" ] && realpath -m "$1"; }
work=$(absolute "$1")
bin=$(absolute "$2")
examples=$(absolute "$3")
linux_linesynth=$(absolute "$4")
linux_tools=$(absolute "${5:-}")

if ! command -v wine >/dev/null 2>&1; then
  if [ "${LINESYNTH_REQUIRE_WINE:-0}" = 1 ]; then
    echo "FAIL: wine is not installed (Debian package wine) and LINESYNTH_REQUIRE_WINE=1"
    exit 1
  fi
  echo "SKIPPED: wine is not installed (Debian package wine); the Windows programs are not tested"
  exit 77
fi
# A program of the cross build, wherever its target put it.
locate() {
  find "$bin" -name "$1" -type f -not -path '*/_CPack_Packages/*' | sort | head -n 1
}
linesynth_exe=$(locate linesynth.exe)
helper_exe=$(locate wine_helper.exe)
tools_exe=$(locate linesynth-tools.exe)
if [ -z "$linesynth_exe" ] || [ -z "$helper_exe" ]; then
  echo "FAIL: linesynth.exe or wine_helper.exe is missing in $bin: cmake --build --preset windows-cross first"
  exit 1
fi

started=$SECONDS
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset TAVO_DIR COMSPEC LINESYNTH_HELPER_LOG
mkdir -p "$work"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w
  echo "Wine prefix made in $((SECONDS - started)) s: $WINEPREFIX"
fi
# The server of our prefix stays up for the whole test and ends with it.
trap 'wineserver -k >/dev/null 2>&1' EXIT

tavo="$WINEPREFIX/drive_c/TAVO"
helper_dir="$WINEPREFIX/drive_c/linesynth-test"
mkdir -p "$helper_dir"
cp "$helper_exe" "$helper_dir/"
helper='C:\linesynth-test\wine_helper.exe'
# The helper starts linesynth.exe by its Windows name (drive Z: is /).
linesynth_windows_name=$(winepath -w "$linesynth_exe" 2>/dev/null)

crlf=$'\r\n'
prompt="Pause - Please enter a blank line (to continue) or a DOS command.$crlf"
stop_line="Stop - Program terminated.$crlf"
pixel_error="ERROR ON TERENNING WAVE LENGTH INTO pixel CALIBRATION ERROR"
# The example's parameter file with the two reference pixels equal.
equal_pixels=$'H-alpha region\n1\n0\n6537.8 6587.8\n7 7\n1.0 12000\n0.0 0 0.5\n'
old_outputs=(RDF.txt RDF1.txt RDF2.txt vltOut.htm)

fresh_data_directory() {
  rm -rf "$tavo"
  cp -r "$examples" "$tavo"
  # Old tables, to see that a run that ends early leaves them as they were.
  for name in RDF.txt RDF1.txt RDF2.txt; do
    printf 'old %s\r\n' "$name" >"$tavo/$name"
  done
  mkdir -p "$work/before"
  rm -f "$work/before/"*
  for name in "${old_outputs[@]}"; do
    cp "$tavo/$name" "$work/before/$name"
  done
}

failures=0
fail() {
  echo "FAIL [$case_name]: $*"
  failures=$((failures + 1))
}

# Compares a file's bytes with an expected text.
expect_bytes() {
  local what=$1 file=$2 expected=$3
  if ! cmp -s "$file" <(printf '%s' "$expected"); then
    fail "$what differs; expected (od -c):"
    printf '%s' "$expected" | od -c | head -20
    echo "got:"
    od -c "$file" | head -20
  fi
}

expect_outputs_untouched() {
  for name in "${old_outputs[@]}"; do
    cmp -s "$tavo/$name" "$work/before/$name" || fail "$name was touched"
  done
}

# Runs a Windows program under Wine: run_wine STDIN_TEXT PROGRAM ARGS...
# leaves status, out and err in $work/case.{status,out,err}.
run_wine() {
  local input=$1
  shift
  printf '%s' "$input" >"$work/case.in"
  (cd "$work" && wine "$@" <"$work/case.in" >"$work/case.out" 2>"$work/case.err")
  echo $? >"$work/case.status"
}

expect_run() {
  local status=$1 out=$2 err=$3
  [ "$(cat "$work/case.status")" = "$status" ] ||
    fail "exit status $(cat "$work/case.status"), expected $status"
  expect_bytes "standard output" "$work/case.out" "$out"
  expect_bytes "standard error" "$work/case.err" "$err"
}

# --- the cases -------------------------------------------------------------

# The example run: the four output files, standard output, standard error and
# the exit status equal the Linux build's on a copy of the same data.
case_example() {
  fresh_data_directory
  local linux="$work/linux-example"
  rm -rf "$linux" && cp -r "$tavo" "$linux"
  TAVO_DIR="$linux/" "$linux_linesynth" </dev/null >"$work/linux.out" 2>"$work/linux.err"
  local linux_status=$?
  run_wine "" "$linesynth_exe"
  [ "$(cat "$work/case.status")" = "$linux_status" ] ||
    fail "exit status $(cat "$work/case.status"), Linux $linux_status"
  [ "$linux_status" = 0 ] || fail "the Linux run itself failed ($linux_status)"
  cmp -s "$work/case.out" "$work/linux.out" || fail "standard output differs from Linux"
  cmp -s "$work/case.err" "$work/linux.err" || fail "standard error differs from Linux"
  expect_bytes "standard output" "$work/case.out" "$stop_line"
  for name in "${old_outputs[@]}"; do
    cmp -s "$tavo/$name" "$linux/$name" || fail "$name differs from Linux"
  done
}

case_read_failure() {
  fresh_data_directory
  printf '1\n0.5x\n' >"$tavo/synthesis.txt"
  run_wine "" "$linesynth_exe"
  expect_run 1 "" \
    "${crlf}run-time error F6103: READ(C:\\TAVO\\synthesis.txt)${crlf}- invalid real value${crlf}"
  expect_outputs_untouched
}

calibration_stop_out="$pixel_error${crlf}ENTER TO STOP OR YOUR COMMAND${crlf}$prompt${crlf}$pixel_error${crlf}${crlf}"

# The pause runs the reply through the program COMSPEC names, with "/c".
case_pause_through_comspec() {
  fresh_data_directory
  printf '%s' "$equal_pixels" >"$tavo/vlt.txt"
  run_wine $'echo via-comspec  \n' "$helper_dir/wine_helper.exe" env \
    "COMSPEC=$helper" 'LINESYNTH_HELPER_LOG=C:\TAVO\comspec.log' "$linesynth_windows_name"
  expect_run 0 "$calibration_stop_out" ""
  expect_bytes "the command COMSPEC ran" "$tavo/comspec.log" "/c echo via-comspec$crlf"
  expect_outputs_untouched
}

# Without COMSPEC, and with a COMSPEC that cannot be started, cmd.exe from the
# PATH runs the reply.
case_pause_through_cmd() {
  local comspec
  for comspec in "COMSPEC=" 'COMSPEC=C:\no\such\interpreter.exe'; do
    fresh_data_directory
    printf '%s' "$equal_pixels" >"$tavo/vlt.txt"
    run_wine $'echo via-cmd>C:\\TAVO\\cmd.log\n' "$helper_dir/wine_helper.exe" env \
      "$comspec" "$linesynth_windows_name"
    expect_run 0 "$calibration_stop_out" ""
    expect_bytes "the output of cmd.exe ($comspec)" "$tavo/cmd.log" "via-cmd$crlf"
    expect_outputs_untouched
  done
}

# Equal values in the scale file divide by zero.
case_floating_point_fault() {
  fresh_data_directory
  printf '3\n3\n' >"$tavo/qdqd.txt"
  run_wine "" "$linesynth_exe"
  expect_run 1 "" \
    "${crlf}run-time error M6103: MATH${crlf}- floating-point error: divide by zero${crlf}"
  expect_outputs_untouched
}

# Another process holds the parameter file for exclusive use.
case_held_file() {
  fresh_data_directory
  rm -f "$tavo/held" "$tavo/release"
  wine "$helper_dir/wine_helper.exe" hold 'C:\TAVO\vlt.txt' 'C:\TAVO\held' 'C:\TAVO\release' \
    </dev/null >/dev/null 2>&1 &
  local holder=$!
  local waited=0
  while [ ! -f "$tavo/held" ] && [ "$waited" -lt 300 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  if [ ! -f "$tavo/held" ]; then
    fail "the helper did not take hold of vlt.txt"
  else
    run_wine "" "$linesynth_exe"
    expect_run 1 "" \
      "${crlf}run-time error F6414: OPEN(C:\\TAVO\\vlt.txt)${crlf}- access to the file denied (or the file is held by another process)${crlf}"
  fi
  touch "$tavo/release"
  wait "$holder"
  expect_outputs_untouched
}

# The companion's statistics of the example equal the Linux build's, but for
# the directory each was given (C:\TAVO\ there, a temporary one here).
case_tools_stats_json() {
  fresh_data_directory
  local linux="$work/linux-stats"
  rm -rf "$linux" && cp -r "$tavo" "$linux"
  TAVO_DIR="$linux/" "$linux_tools" stats --json </dev/null >"$work/linux.out" 2>"$work/linux.err"
  local linux_status=$?
  [ "$linux_status" = 0 ] || fail "the Linux stats failed ($linux_status): $(cat "$work/linux.err")"
  run_wine "" "$tools_exe" stats --json
  [ "$(cat "$work/case.status")" = 0 ] || fail "exit status $(cat "$work/case.status"), expected 0"
  local key='s/"directory":"([^"\\]|\\.)*"/"directory":"DIR"/'
  sed -E -i "$key" "$work/case.out" "$work/linux.out"
  if ! cmp -s "$work/case.out" "$work/linux.out"; then
    # cat -A shows a CR that a text-mode stream adds before each LF as ^M.
    fail "standard output differs from Linux (< Windows, > Linux, as cat -A shows them):"
    diff <(cat -A "$work/case.out") <(cat -A "$work/linux.out") | head -20
  fi
  [ -s "$work/case.err" ] && fail "standard error: $(cat "$work/case.err")"
}

# Names beyond the ANSI code page: an output and a mask named in Greek and
# Cyrillic are written and read under exactly those names (the ANSI functions
# made "Ωmega" into "Omega", opening a decoy, and other scripts into "???").
case_tools_unicode_names() {
  fresh_data_directory
  local out="$WINEPREFIX/drive_c/out"
  rm -rf "$out" && mkdir -p "$out"
  printf '6541.05 6541.05\r\n' >"$tavo/mask-Ωmega.txt"
  printf '# a decoy that masks nothing\r\n' >"$tavo/mask-Omega.txt"
  LC_ALL=C.UTF-8 run_wine "" "$tools_exe" stats --mask 'C:\TAVO\mask-Ωmega.txt'
  [ "$(cat "$work/case.status")" = 0 ] || fail "stats: exit status $(cat "$work/case.status"): $(cat "$work/case.err")"
  grep -q "^compared rows: *399" "$work/case.out" || fail "the mask was not applied: $(head -1 "$work/case.out")"
  LC_ALL=C.UTF-8 run_wine "" "$tools_exe" report --mask 'C:\TAVO\mask-Ωmega.txt' -o 'C:\out\Ωmega.html'
  [ "$(cat "$work/case.status")" = 0 ] || fail "report: exit status $(cat "$work/case.status"): $(cat "$work/case.err")"
  [ -s "$out/Ωmega.html" ] || fail "C:\\out\\Ωmega.html was not written: $(ls "$out")"
  [ -e "$out/Omega.html" ] && fail "the page went to Omega.html"
  grep -q "mask-Ωmega.txt" "$out/Ωmega.html" || fail "the page does not list the mask by its name"
  LC_ALL=C.UTF-8 run_wine "" "$tools_exe" plot -o 'C:\out\данные.svg'
  [ "$(cat "$work/case.status")" = 0 ] || fail "plot: exit status $(cat "$work/case.status"): $(cat "$work/case.err")"
  [ -s "$out/данные.svg" ] || fail "C:\\out\\данные.svg was not written: $(ls "$out")"
}

# name | function
cases=(
  "example run equals Linux|case_example"
  "read failure report|case_read_failure"
  "calibration stop, reply through COMSPEC|case_pause_through_comspec"
  "calibration stop, reply through cmd.exe from the PATH|case_pause_through_cmd"
  "floating-point fault|case_floating_point_fault"
  "file held by another process: F6414|case_held_file"
  "linesynth-tools stats --json equals Linux|case_tools_stats_json"
  "linesynth-tools with names beyond the ANSI code page|case_tools_unicode_names"
)

for row in "${cases[@]}"; do
  case_name=${row%%|*}
  function=${row#*|}
  if [ "${function#case_tools_}" != "$function" ] && { [ -z "$tools_exe" ] || [ -z "$linux_tools" ]; }; then
    echo "skip [$case_name]: linesynth-tools.exe or the Linux linesynth-tools is not built"
    continue
  fi
  before=$failures
  case_started=$SECONDS
  "$function"
  [ "$failures" = "$before" ] && echo "ok   [$case_name] ($((SECONDS - case_started)) s)"
done

echo "Wine part: $((SECONDS - started)) s in all"
[ "$failures" = 0 ]
