#!/usr/bin/env bash
# Runs a scripted sandbox session under valgrind's memcheck: no leak, no invalid access, and the
# engine allocator's block count back where it started.
# Usage: scripts/memcheck.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ArkApi/Plugins/Nestkeep"
cp "$root/examples/config.json" "$work/ArkApi/Plugins/Nestkeep/"

cat >"$work/session" <<'SESSION'
memory
spawn Glimmerwing
spawn Mossback quality=0.95
spawn Duskmane nostatus
time 100
cuddle 1 1
cuddle 1 2
cuddle 2 2 /Game/Nursery/Foods/Berries.Berries_C
cuddle 3 1
cuddle 0 2
imprint 1 add 0.5
imprint 2 set 0.1
imprint 3 add 0.1
show 1
Nestkeep.reload
rcon Nestkeep.reload
rcon memory
admin off
Nestkeep.reload
admin on
unload
cuddle 1 2
Nestkeep.reload
load
Nestkeep.reload
cuddle 1 2
bogus line with "quotes" and {braces}
memory
quit
SESSION

valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --error-exitcode=99 --quiet --log-file="$work/valgrind" \
  "$build/bin/nestkeep-sandbox" --dir "$work" --content "$root/examples/content.txt" --seed 1 \
  <"$work/session" >"$work/out" 2>"$work/err" || status=$?
cat "$work/valgrind"
if [ "${status:-0}" -ne 0 ]; then
  echo "memcheck: the session failed (exit ${status})"
  exit 1
fi
first="$(grep -m1 '^memory blocks=' "$work/out")"
last="$(grep '^memory blocks=' "$work/out" | tail -n 1)"
if [ "$first" != "$last" ]; then
  echo "memcheck: engine blocks went from '$first' to '$last'"
  exit 1
fi
echo "memcheck: $(wc -l <"$work/session") console lines, no error, no leak, $last at start and end"
