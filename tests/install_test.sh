#!/usr/bin/env bash
# Installing lays out the plugin folder, never overwrites an administrator's config.json, and the
# installed sandbox loads the installed module without an error.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
plugin="$prefix/ArkApi/Plugins/Nestkeep"
for f in "$plugin/libNestkeep.so" "$plugin/config.json" "$plugin/config.schema.json" \
         "$prefix/bin/nestkeep-sandbox" "$prefix/bin/nestkeep-check"; do
  [ -f "$f" ] || fail "missing $f"
done

out="$(printf 'spawn Mossback\ntime 10\ncuddle 1 0\nquit\n' |
       "$prefix/bin/nestkeep-sandbox" --dir "$prefix" --module "$plugin/libNestkeep.so" 2>"$prefix/err")"
[ ! -s "$prefix/err" ] || fail "the installed module logged: $(cat "$prefix/err")"
grep -qx "cuddle 1 due=1810 kind=0 food=none" <<<"$out" || fail "the installed module did not act: $out"
# Without --module the installed sandbox finds the installed module.
ready="$(printf 'quit\n' | "$prefix/bin/nestkeep-sandbox" --dir "$prefix" 2>"$prefix/err")"
[ "$ready" = ready ] || fail "the installed sandbox did not find its module: $ready"
"$prefix/bin/nestkeep-check" "$plugin/config.json" >/dev/null 2>&1 || fail "the installed config does not check"

echo '{"General": {}}' >"$plugin/config.json"
again="$(cmake --install "$build" --prefix "$prefix")"
grep -q "Keeping: .*config.json" <<<"$again" || fail "no word of keeping config.json"
[ "$(cat "$plugin/config.json")" = '{"General": {}}' ] || fail "config.json was overwritten"
echo "install test: plugin folder laid out, config.json kept, installed module loads"
