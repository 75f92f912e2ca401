#!/usr/bin/env bash
# Lists the companion's functions longer than the house limit, counted from
# the line of the signature to the closing brace (blank and comment lines
# included), and fails when there is one. A long function is several stages
# that want names of their own.
#   scripts/long-functions.sh            the limit of 60 lines over src/tools
#   scripts/long-functions.sh 40 src     another limit, another folder
# Needs Universal Ctags (Debian package universal-ctags) for the functions'
# ends.
set -euo pipefail
limit=${1:-60}
folder=${2:-"$(dirname "$0")/../src/tools"}
ctags=$(command -v ctags-universal || command -v ctags)
long=$("$ctags" -R --languages=C++ --kinds-C++=f --fields=+ne -f - "$folder" |
  awk -F'\t' -v limit="$limit" '{
    start = end = 0
    for (i = 4; i <= NF; i++) {
      if ($i ~ /^line:/) start = substr($i, 6)
      if ($i ~ /^end:/) end = substr($i, 5)
    }
    if (end - start + 1 > limit) printf "%s: %s, %d lines\n", $2, $1, end - start + 1
  }' | sort -u)
if [ -n "$long" ]; then
  echo "functions over $limit lines (split them into named stages):"
  echo "$long"
  exit 1
fi
