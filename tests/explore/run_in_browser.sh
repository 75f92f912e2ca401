#!/usr/bin/env bash
# tests/explore/run_in_browser.sh LINESYNTH_TOOLS EXAMPLE_DIR CACHE_DIR [SCREENSHOT.png]
# Installs puppeteer-core into CACHE_DIR (install_puppeteer.sh), then runs the
# explore page's browser test (explore_in_browser.js) on the system Chromium.
# Exits with 77 (skipped) where Chromium, Node or npm is missing, unless
# LINESYNTH_REQUIRE_CHROMIUM=1 (CI), where that fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/need_programs.sh"
need_programs /usr/bin/chromium node npm
"$here/install_puppeteer.sh" "$3"
exec node "$here/explore_in_browser.js" "$1" "$2" "$3/node_modules" "${@:4}"
