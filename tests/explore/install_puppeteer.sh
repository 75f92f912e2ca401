#!/usr/bin/env bash
# tests/explore/install_puppeteer.sh DIR: installs puppeteer-core and ESLint,
# at the versions of package-lock.json beside this script, into
# DIR/node_modules (a cache in the build tree, never the source tree). Installs nothing when DIR
# already holds that lock. Puppeteer-core brings no browser and runs no
# install script here: the tests drive the system's Chromium.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dir="$1"
mkdir -p "$dir"
if cmp -s "$here/package-lock.json" "$dir/package-lock.json" && [[ -d "$dir/node_modules/puppeteer-core" ]]; then
  exit 0
fi
cp "$here/package.json" "$here/package-lock.json" "$dir/"
export PUPPETEER_SKIP_DOWNLOAD=1
npm ci --prefix "$dir" --ignore-scripts --no-audit --no-fund --loglevel=error >&2
