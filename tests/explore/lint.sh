#!/usr/bin/env bash
# tests/explore/lint.sh CACHE_DIR: ESLint, at the version of package-lock.json
# beside this script (installed into CACHE_DIR by install_puppeteer.sh, never
# into the source tree), over the project's JavaScript with the rules of
# eslint.config.js. Exits with 77 (skipped) where Node or npm is missing,
# unless LINESYNTH_REQUIRE_CHROMIUM=1 (CI), where that fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$here/need_programs.sh"
need_programs node npm
"$here/install_puppeteer.sh" "$1"
cd "$root"
exec "$1/node_modules/.bin/eslint" --config tests/explore/eslint.config.js \
  src/tools/pages/*.js tests/explore/*.js bench/*.js
