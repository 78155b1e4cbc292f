#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when they are missing.
# Usage: scripts/install-deps.sh [--sanitizers | --packaging | --windows | --lint]
#   --packaging adds what the Debian packages and the dissector tests need; --sanitizers adds that
#   and clang with its runtimes; --windows the mingw-w64 cross-compiler, wine and the GoogleTest
#   sources that the Windows build compiles with that compiler; --lint clang-format and clang-tidy.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config rapidjson-dev libasio-dev libgtest-dev libgmock-dev
  libbenchmark-dev libpcap-dev)
# tshark reads the captures in the dissector tests; man, dpkg-shlibdeps and file serve the packages.
if [[ "${1:-}" == "--packaging" || "${1:-}" == "--sanitizers" ]]; then
  packages+=(tshark man-db dpkg-dev file)
fi
if [[ "${1:-}" == "--sanitizers" ]]; then
  packages+=(clang libclang-rt-14-dev)
elif [[ "${1:-}" == "--windows" ]]; then
  packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
elif [[ "${1:-}" == "--lint" ]]; then
  packages+=(clang-format clang-tidy)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}" >&2
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
