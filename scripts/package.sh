#!/usr/bin/env bash
# Builds the release archives, one per platform, into dist/, then tests each as an administrator
# would use it: unpacked into a folder of its own, the demonstration run on the folder's config.
# Usage: scripts/package.sh [linux] [windows]   (both by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=(linux windows)
mkdir -p dist

# Unpacks an archive into a fresh folder and runs the demonstration from it.
try_archive() {
  local archive="$1" run="$2" unpack
  unpack="$(mktemp -d)"
  case "$archive" in
    *.zip) (cd "$unpack" && unzip -q "$archive") ;;
    *) tar -xzf "$archive" -C "$unpack" ;;
  esac
  local folder
  folder="$(basename "$archive" .zip)"
  folder="${folder%.tar.gz}"
  local sandbox="$unpack/$folder/bin/nestkeep-sandbox"
  [ -f "$sandbox.exe" ] && sandbox="$sandbox.exe"
  local out status=0
  out="$(cd "$unpack" && $run "$sandbox" --demo --dir "$folder" 2>&1)" || status=$?
  rm -rf "$unpack"
  if [ "$status" -ne 0 ] || ! grep -q "reply id=1 type=0: Successfully reloaded!" <<<"$out"; then
    echo "package: the demonstration from $(basename "$archive") failed (exit $status):"
    echo "$out" | tail -20
    return 1
  fi
  echo "package: $(basename "$archive") unpacked and ran its demonstration"
}

for platform in "${platforms[@]}"; do
  case "$platform" in
    linux) preset=default build=build run="" ;;
    windows) preset=windows build=build-windows run="$root/scripts/wine-run.sh" ;;
    *) echo "package: no platform $platform" >&2; exit 2 ;;
  esac
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target nestkeep-sandbox nestkeep-check Nestkeep
  rm -rf "$build/package"
  (cd "$build" && cpack >/dev/null)
  for archive in "$build"/package/Nestkeep-*.{tar.gz,zip}; do
    [ -f "$archive" ] || continue
    cp "$archive" dist/
    try_archive "$root/dist/$(basename "$archive")" "$run"
  done
done
