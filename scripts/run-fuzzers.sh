#!/usr/bin/env bash
# Runs every fuzzer for the given seconds, each from its seeds in fuzz/corpus/NAME, and prints how
# many inputs each tried. Fails on the first finding.
# Usage: scripts/run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build="$1"
seconds="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
for fuzzer in "$build"/bin/*_fuzz; do
  name="$(basename "$fuzzer" _fuzz)"
  work="$(mktemp -d)"
  log="$work/log"
  dict=()
  [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
  if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "${dict[@]}" "$work" \
      "$root/fuzz/corpus/$name" >"$log" 2>&1; then
    tail -40 "$log"
    echo "fuzz $name: FAILED"
    exit 1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  echo "fuzz $name: ${runs:-?} inputs in ${seconds}s, no finding"
  rm -rf "$work"
done
