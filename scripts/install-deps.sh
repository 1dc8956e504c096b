#!/usr/bin/env bash
# Installs the Debian packages a task needs, and only those that are missing.
# Usage: scripts/install-deps.sh [demo|test|bench|windows] [extra-package...]
#   demo     building and running the programs (the default)
#   test     also GoogleTest, and Node.js with npm for the end-to-end tests
#   bench    also Google Benchmark and valgrind
#   windows  also the MinGW-w64 cross compiler, wine64 and GoogleTest's sources, to build for
#            Windows and run the tests under Wine
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libspdlog-dev libfmt-dev nlohmann-json3-dev libasio-dev)
case "${1:-demo}" in
  demo) ;;
  test)
    packages+=(libgtest-dev)
    command -v node >/dev/null 2>&1 || packages+=(nodejs)
    command -v npm >/dev/null 2>&1 || packages+=(npm)
    ;;
  bench) packages+=(libbenchmark-dev valgrind) ;;
  windows)
    packages+=(g++-mingw-w64-x86-64-posix wine64 googletest)
    command -v node >/dev/null 2>&1 || packages+=(nodejs)
    command -v npm >/dev/null 2>&1 || packages+=(npm)
    ;;
  *) packages+=("$1") ;;
esac
[ $# -gt 0 ] && shift
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
