#!/usr/bin/env bash
# `npm test` in tests/explore: the explore page's pure functions under Node's
# test runner, then ESLint (lint.sh) with its install in the build tree
# (LINESYNTH_NPM_CACHE, else build/npm-explore under the top folder).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
node --test "$here/explore_model.test.js"
"$here/lint.sh" "${LINESYNTH_NPM_CACHE:-$here/../../build/npm-explore}"
