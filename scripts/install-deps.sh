#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those that are missing.
# Usage: scripts/install-deps.sh [extra-package...]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libspdlog-dev libfmt-dev nlohmann-json3-dev
          libgtest-dev libbenchmark-dev libasio-dev "$@")
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

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
