#!/usr/bin/env bash
# Makes a package of a configured and built tree with cpack and checks that it
# holds exactly the files listed below at their places.
#   check_package.sh deb BUILD_DIR EXAMPLE_DATA_DIR PROGRAM...
#       the Debian package: the programs in /usr/bin, their man pages
#       (compressed), the
#       README and every example data file; its control fields
#   check_package.sh zip BUILD_DIR EXAMPLE_DATA_DIR
#       the Windows zip of a cross build: one folder with linesynth.exe (and
#       linesynth-tools.exe when the build has it), both READMEs and examples\
# Exit status 77 (skipped) when a tool it needs is missing.
set -euo pipefail
kind=$1
build_dir=$(realpath "$2")
examples=$(realpath "$3")
shift 3
programs=("$@")

case $kind in
  deb) tools=(cpack dpkg-deb dpkg-shlibdeps) ;;
  zip) tools=(cpack unzip) ;;
  *) echo "usage: check_package.sh deb|zip BUILD_DIR EXAMPLE_DATA_DIR PROGRAM..."; exit 2 ;;
esac
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (Debian packages cmake, dpkg-dev, unzip)"
    exit 77
  fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
generator=$(echo "$kind" | tr a-z A-Z)
(cd "$build_dir" && cpack -G "$generator" -B "$out" --config CPackConfig.cmake >"$out/cpack.log" 2>&1) || {
  cat "$out/cpack.log"
  exit 1
}
packages=("$out"/*."$kind")
# The programs' package; the Python module's (python3-linesynth) sorts after it.
package=${packages[0]}
echo "package: $(basename "$package"), $(stat -c %s "$package") bytes"

expected=()
if [ "$kind" = deb ]; then
  # "./usr/bin/linesynth" for each file, without modes and dates.
  listing=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ {print $6}' | sort)
  for program in "${programs[@]}"; do
    expected+=("./usr/bin/$program" "./usr/share/man/man1/$program.1.gz")
  done
  expected+=("./usr/share/doc/linesynth/README.md")
  for file in "$examples"/*; do
    expected+=("./usr/share/doc/linesynth/examples/$(basename "$file")")
  done
else
  listing=$(unzip -Z1 "$package" | grep -v '/$' | sort)
  folder=$(basename "$package" .zip)
  expected+=("$folder/linesynth.exe" "$folder/README.md" "$folder/README-Windows.txt")
  if find "$build_dir" -name linesynth-tools.exe -not -path '*/_CPack_Packages/*' | grep -q .; then
    expected+=("$folder/linesynth-tools.exe")
  fi
  for file in "$examples"/*; do
    expected+=("$folder/examples/$(basename "$file")")
  done
fi
wanted=$(printf '%s\n' "${expected[@]}" | sort)

status=0
if [ "$listing" != "$wanted" ]; then
  echo "FAIL: the package's files differ from the list (< package, > expected):"
  diff <(echo "$listing") <(echo "$wanted") || true
  status=1
fi

if [ "$kind" = deb ]; then
  for field in "Package: linesynth" "Section: science" "Architecture: amd64"; do
    if ! dpkg-deb -f "$package" | grep -qx "$field"; then
      echo "FAIL: control field '$field' missing:"
      dpkg-deb -f "$package"
      status=1
    fi
  done
  # With the C++ runtime linked in, the C library (and libcrypto for
  # linesynth-tools) is all the programs load: never libstdc++ or libgcc.
  depends=$(dpkg-deb -f "$package" Depends)
  echo "Depends: $depends"
  if [[ "$depends" != *libc6* || "$depends" == *libstdc++* || "$depends" == *libgcc* ]]; then
    echo "FAIL: Depends should name libc6 and neither libstdc++ nor libgcc"
    status=1
  fi
fi
# The Python module's package, where the build has the module: its files, and
# the module imported from them by the system's interpreter.
if [ "$kind" = deb ] && [ -e "$build_dir/python/linesynth/__init__.py" ]; then
  python_packages=("$out"/python3-linesynth_*.deb)
  python_package=${python_packages[0]}
  if [ ! -e "$python_package" ]; then
    echo "FAIL: no python3-linesynth package beside $(basename "$package")"
    exit 1
  fi
  echo "package: $(basename "$python_package"), $(stat -c %s "$python_package") bytes"
  site=/usr/lib/python3/dist-packages/linesynth
  python_listing=$(dpkg-deb -c "$python_package" | awk '$1 !~ /^d/ {print $6}' | sort)
  python_wanted=$( (for file in "$build_dir"/python/linesynth/*; do
                      echo ".$site/$(basename "$file")"; done) | sort)
  if [ "$python_listing" != "$python_wanted" ]; then
    echo "FAIL: python3-linesynth's files differ from the list (< package, > expected):"
    diff <(echo "$python_listing") <(echo "$python_wanted") || true
    status=1
  fi
  dpkg-deb -f "$python_package" Depends
  root=$out/python-root
  dpkg-deb -x "$python_package" "$root"
  if ! weights=$(cd "$out" && PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
      "import linesynth; print(linesynth.load('$examples').fit(scale=True).weights)"); then
    echo "FAIL: the packaged module does not import and fit"
    status=1
  fi
  echo "fitted from the package: $weights"
fi
[ "$status" -eq 0 ] && echo "ok: $(echo "$listing" | wc -l) files"
exit "$status"
