#!/usr/bin/env bash
# Runs a Windows program of the build under wine64 (Debian installs it outside PATH): quietly, in a
# Wine prefix of its own, and with the crash debugger off, so that a crash fails at once instead of
# waiting in a debugger. The build uses this as its emulator, so ctest runs every Windows test
# through it. WINEPREFIX, when set, names the prefix (CI gives a temporary one).
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/nestkeep-wine-$(id -u)}"
exec /usr/lib/wine/wine64 "$@"
