#!/usr/bin/env bash
# Builds everything and runs every test, as CI does: the test build with
# warnings as errors (the format check, the man pages, the Debian package and
# the Windows programs under Wine included), the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, with Clang, and in an
# optimised build with assertions on, then each fuzz target for a bounded
# time. Installs the Debian packages it needs first (as root; otherwise it
# prints the apt-get line to run).
#   scripts/test.sh            everything (about 30 minutes on two cores)
#   FUZZ_SECONDS=10 scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
# Checked by command, not by package: Node may come from another repository
# whose nodejs package brings npm and conflicts with Debian's npm, so node and
# npm are installed only when the commands are missing.
need_packages "${build_packages[@]}" \
  "/usr/include/gtest/gtest.h:libgtest-dev" \
  "clang++:clang" \
  "clang-format:clang-format" \
  "clang-tidy:clang-tidy" \
  "ctags:universal-ctags" \
  "run-clang-tidy:clang-tidy" \
  "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libclang-rt-14-dev" \
  "groff:groff-base" \
  "man:man-db" \
  "dpkg-shlibdeps:dpkg-dev" \
  "unzip:unzip" \
  "python3:python3" \
  "chromium:chromium" \
  "node:nodejs" \
  "npm:npm" \
  "parallel:parallel" \
  "/usr/sbin/slurmctld:slurm-wlm" \
  "/usr/sbin/munged:munge" \
  "/usr/lib/python3/dist-packages/astropy:python3-astropy" \
  "/usr/include/python3.11/Python.h:python3-dev" \
  "/usr/include/pybind11/pybind11.h:pybind11-dev" \
  "/usr/lib/python3/dist-packages/pytest:python3-pytest" \
  "/usr/lib/python3/dist-packages/specutils:python3-specutils" \
  "/usr/lib/python3/dist-packages/matplotlib:python3-matplotlib" \
  "/usr/lib/python3/dist-packages/ipykernel:python3-ipykernel" \
  "jupyter-nbconvert:jupyter-nbconvert" \
  "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix" \
  "wine:wine"

# Every build and test run uses all the machine's cores.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
export CTEST_PARALLEL_LEVEL="${CTEST_PARALLEL_LEVEL:-$(nproc)}"
# In this run no check may skip for want of a program.
export LINESYNTH_REQUIRE_WINE=1 LINESYNTH_REQUIRE_CHROMIUM=1 LINESYNTH_REQUIRE_ASTROPY=1
# The Slurm survey script runs on a cluster of one node that its test starts.
export LINESYNTH_REQUIRE_SLURM=1

step() {
  echo
  echo "==== $* ($(date -u +%T))"
}

step "Windows programs (cross-compiled)"
cmake --preset windows-cross
cmake --build --preset windows-cross

step "Test build: warnings as errors, packages, the Windows programs under Wine"
cmake --preset ci -DLINESYNTH_PACKAGE_TEST=ON \
  -DLINESYNTH_WINDOWS_BIN_DIR="$PWD/build/windows-cross"
cmake --workflow --preset ci

for preset in asan clang assert; do
  step "Suite: $preset"
  cmake --workflow --preset "$preset"
done

step "Fuzz targets, ${FUZZ_SECONDS:-60} s each"
cmake --preset fuzz
cmake --build --preset fuzz --target reader_fuzzer run_fuzzer
tests/fuzz/run_fuzzers.sh "${FUZZ_SECONDS:-60}" build/fuzz

step "All passed"
