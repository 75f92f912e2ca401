#!/usr/bin/env bash
# Makes the Debian package of a configured and built tree with cpack and checks
# that it holds the programs, their man pages, the README and every example
# data file at their places, and the package's control fields.
#   check_debian_package.sh BUILD_DIR EXAMPLE_DATA_DIR PROGRAM...
# Exit status 77 (skipped) when dpkg-deb or cpack is missing.
set -euo pipefail
build_dir=$1
examples=$2
shift 2
programs=("$@")

for tool in dpkg-deb dpkg-shlibdeps cpack; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (Debian packages dpkg-dev and cmake)"
    exit 77
  fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build_dir" && cpack -G DEB -B "$out" --config CPackConfig.cmake >"$out/cpack.log" 2>&1) || {
  cat "$out/cpack.log"
  exit 1
}
debs=("$out"/*.deb)
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# "./usr/bin/linesynth" for each regular file, without modes and dates.
listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
expected=()
for program in "${programs[@]}"; do
  expected+=("./usr/bin/$program" "./usr/share/man/man1/$program.1")
done
expected+=("./usr/share/doc/linesynth/README.md")
for file in "$examples"/*; do
  expected+=("./usr/share/doc/linesynth/examples/$(basename "$file")")
done
wanted=$(printf '%s\n' "${expected[@]}" | sort)

status=0
if [ "$listing" != "$wanted" ]; then
  echo "FAIL: the package's files differ from the list (< package, > expected):"
  diff <(echo "$listing") <(echo "$wanted") || true
  status=1
fi

for field in "Package: linesynth" "Section: science" "Architecture: amd64"; do
  if ! dpkg-deb -f "$deb" | grep -qx "$field"; then
    echo "FAIL: control field '$field' missing:"
    dpkg-deb -f "$deb"
    status=1
  fi
done
# Statically linked C++ runtime: the only shared library to depend on is the C
# library (and libcrypto for linesynth-tools), never libstdc++.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
if [[ "$depends" != *libc6* || "$depends" == *libstdc++* || "$depends" == *libgcc* ]]; then
  echo "FAIL: Depends should name libc6 and neither libstdc++ nor libgcc"
  status=1
fi
[ "$status" -eq 0 ] && echo "ok: $(echo "$listing" | wc -l) files"
exit "$status"
