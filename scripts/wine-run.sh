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
#                                   hold on to that program's output
#   wine-run.sh --end-session       ends it
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/nestkeep-wine-$(id -u)}"
case "${1:-}" in
  --start-session)
    # The server starts in the prefix, so a prefix not made yet would leave no session kept.
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wineserver -p
    /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null
    ;;
  --end-session)
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    ;;
  *)
    exec /usr/lib/wine/wine64 "$@"
    ;;
esac
