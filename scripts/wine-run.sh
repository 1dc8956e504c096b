#!/usr/bin/env bash
# Runs a Windows program of the build under wine64 (Debian installs it outside PATH): quietly, in a
# Wine prefix of its own, and with the crash debugger off, so that a crash fails at once instead of
# waiting in a debugger. The build uses this as its emulator, so ctest runs every Windows test
# through it. WINEPREFIX, when set, names the prefix (CI gives a temporary one).
#
#   wine-run.sh PROGRAM [ARGS...]   runs a program
#   wine-run.sh --start-session     starts Wine's session (its server and services) and keeps it up,
#                                   so that each program after it starts at once, and so that the
#                                   services, which outlive the program that started them, do not
#                                   hold on to that program's output; whether or not a server of
#                                   the prefix is up already, and saying what failed if it fails
#   wine-run.sh --end-session       ends it
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/nestkeep-wine-$(id -u)}"
server=/usr/lib/wine/wineserver
fail() {
  echo "wine-run.sh: $*" >&2
  exit 1
}
case "${1:-}" in
  --start-session)
    # The server starts in the prefix, so a prefix not made yet would leave no session kept.
    mkdir -p "$WINEPREFIX" || fail "cannot make the Wine prefix $WINEPREFIX"
    # Starting a kept server fails while a server of the prefix is up: one kept by an earlier
    # session serves as it is; one that lingers a few seconds after the last program run under
    # wine is waited for, and the kept one started after it. The server keeps the descriptors it
    # was started with open, so what it says goes to a file, not a pipe that would never end.
    log="$(mktemp)"
    trap 'rm -f "$log"' EXIT
    if ! "$server" -p >"$log" 2>&1 && timeout 10 "$server" -w && ! "$server" -p >"$log" 2>&1; then
      fail "cannot start a kept Wine server for $WINEPREFIX: $(cat "$log")"
    fi
    if ! /usr/lib/wine/wine64 wineboot >"$log" 2>&1 </dev/null; then
      fail "wineboot failed in $WINEPREFIX: $(cat "$log")"
    fi
    ;;
  --end-session)
    "$server" -k 2>/dev/null || true
    ;;
  *)
    exec /usr/lib/wine/wine64 "$@"
    ;;
esac
