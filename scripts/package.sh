#!/usr/bin/env bash
# Builds the release archives, one per platform, into dist/, then tests each as an administrator
# would use it (tests/archive_test.sh): unpacked into a folder of its own, its guide's sessions run
# from there, the Windows one under wine64.
# Usage: scripts/package.sh [linux] [windows]   (both by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=(linux windows)
mkdir -p dist

for platform in "${platforms[@]}"; do
  case "$platform" in
    linux) preset=default build=build ;;
    windows) preset=windows build=build-windows ;;
    *) echo "package: no platform $platform" >&2; exit 2 ;;
  esac
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target nestkeep-sandbox nestkeep-check Nestkeep
  rm -rf "$build/package"
  (cd "$build" && cpack >/dev/null)
  for archive in "$build"/package/Nestkeep-*.{tar.gz,zip}; do
    [ -f "$archive" ] || continue
    cp "$archive" dist/
    if [ "$platform" = windows ]; then
      # Wine's session kept up, so that each of the guide's commands starts at once.
      scripts/wine-run.sh --start-session
      status=0
      tests/archive_test.sh "dist/$(basename "$archive")" || status=$?
      scripts/wine-run.sh --end-session
      [ "$status" -eq 0 ] || exit "$status"
    else
      tests/archive_test.sh "dist/$(basename "$archive")"
    fi
  done
done
