# Sourced by the explore tests: need_programs PROGRAM... returns when every
# program is there. A missing one skips the test (status 77), except where
# LINESYNTH_REQUIRE_CHROMIUM=1 (CI), where it fails.
need_programs() {
  local program
  for program in "$@"; do
    command -v "$program" >/dev/null 2>&1 && continue
    if [[ "${LINESYNTH_REQUIRE_CHROMIUM:-}" == 1 ]]; then
      echo "$program is missing, and LINESYNTH_REQUIRE_CHROMIUM=1" >&2
      exit 1
    fi
    echo "skipped: $program is missing" >&2
    exit 77
  done
}
