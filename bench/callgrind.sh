#!/usr/bin/env bash
# Instructions per detour call, counted by callgrind: a figure that stays the same from run to run
# on the same build, for spotting regressions. Each case runs twice with different call counts, and
# the difference leaves out everything but the calls themselves.
# Usage: bench/callgrind.sh [BUILD_DIR]
set -euo pipefail
bin="${1:-build}/bin/detour_calls"
few=1000
many=11000

count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$bin" "$1" "$2" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

printf '%-30s %14s\n' "detour" "instructions/call"
for case in $("$bin" --list); do
  a=$(count "$case" $few)
  b=$(count "$case" $many)
  awk -v a="$a" -v b="$b" -v n=$((many - few)) -v c="$case" 'BEGIN { printf "%-30s %14.1f\n", c, (b - a) / n }'
done
