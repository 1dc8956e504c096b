#!/usr/bin/env bash
# The RCON load test under ThreadSanitizer: builds the sandbox, the module and the load driver with
# the tsan preset, then runs 32 clients against that sandbox and prints the round-trip summary.
# Fails on any lost, misordered or wrong reply, and on any race report.
# Usage: scripts/tsan-load.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target nestkeep-sandbox Nestkeep rcon_load
build-tsan/bin/rcon_load build-tsan/bin/nestkeep-sandbox "$root"
