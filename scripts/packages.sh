# Sourced by the build scripts: makes sure the Debian packages they need are
# installed. Each check names a file or command and the package that brings
# it; only what is missing is installed, so a second run installs nothing.
#   need_packages "cmake:cmake" "g++:g++" "/usr/include/gtest/gtest.h:libgtest-dev"
# As root the missing packages are installed with apt-get; otherwise the one
# apt-get line to run is printed and the script stops with status 1.

need_packages() {
  local missing=() check what package
  for check in "$@"; do
    what="${check%%:*}"
    package="${check#*:}"
    if [[ "$what" == /* ]]; then
      [[ -e "$what" ]] && continue
    else
      command -v "$what" >/dev/null 2>&1 && continue
    fi
    [[ " ${missing[*]} " == *" $package "* ]] || missing+=("$package")
  done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "These Debian packages are needed first. Run, as root:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
}

# What building linesynth and linesynth-tools needs.
build_packages=(
  "cmake:cmake"
  "g++:g++"
  "make:make"
  "/usr/include/CLI/CLI.hpp:libcli11-dev"
  "/usr/include/eigen3/Eigen/Core:libeigen3-dev"
  "/usr/include/nlohmann/json.hpp:nlohmann-json3-dev"
  "/usr/include/openssl/evp.h:libssl-dev"
  "/usr/include/boost/math/distributions/chi_squared.hpp:libboost-math-dev"
)
