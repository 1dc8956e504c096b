#!/usr/bin/env bash
# Installing lays out the plugin folder and nothing else unless the programs are asked for, never
# overwrites an administrator's config.json, and the installed sandbox loads the installed module
# without an error.
# Usage: install_test.sh BUILD_DIR
# For a build of another platform, the environment says how to run its programs and what they are
# called there: NESTKEEP_RUN_WITH (an emulator), NESTKEEP_EXE_SUFFIX, NESTKEEP_MODULE_FILE.
set -euo pipefail
build="$1"
run_with=(${NESTKEEP_RUN_WITH:+"$NESTKEEP_RUN_WITH"})
exe="${NESTKEEP_EXE_SUFFIX:-}"
module="${NESTKEEP_MODULE_FILE:-libNestkeep.so}"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
plugin="$prefix/ArkApi/Plugins/Nestkeep"
for f in "$plugin/$module" "$plugin/config.json" "$plugin/config.schema.json"; do
  [ -f "$f" ] || fail "missing $f"
done
[ ! -e "$prefix/bin" ] || fail "the programs were installed unasked: $(ls "$prefix/bin")"
cmake --install "$build" --prefix "$prefix" --component programs >/dev/null
sandbox="$prefix/bin/nestkeep-sandbox$exe"
check="$prefix/bin/nestkeep-check$exe"
for f in "$sandbox" "$check"; do
  [ -f "$f" ] || fail "missing $f"
done

out="$(printf 'spawn Mossback\ntime 10\ncuddle 1 0\nquit\n' |
       "${run_with[@]}" "$sandbox" --dir "$prefix" --module "$plugin/$module" 2>"$prefix/err")"
[ ! -s "$prefix/err" ] || fail "the installed module logged: $(cat "$prefix/err")"
grep -qx "cuddle 1 due=1810 kind=0 food=none" <<<"$out" || fail "the installed module did not act: $out"
# Without --module the installed sandbox finds the installed module.
ready="$(printf 'quit\n' | "${run_with[@]}" "$sandbox" --dir "$prefix" 2>"$prefix/err")"
[ "$ready" = ready ] || fail "the installed sandbox did not find its module: $ready"
"${run_with[@]}" "$check" "$plugin/config.json" >/dev/null 2>&1 || fail "the installed config does not check"

echo '{"General": {}}' >"$plugin/config.json"
again="$(cmake --install "$build" --prefix "$prefix")"
grep -q "Keeping: .*config.json" <<<"$again" || fail "no word of keeping config.json"
[ "$(cat "$plugin/config.json")" = '{"General": {}}' ] || fail "config.json was overwritten"
echo "install test: plugin folder laid out, programs only when asked for, config.json kept, installed module loads"
