#!/usr/bin/env bash
# Installs the npm packages the end-to-end tests use, when the lock file changed since last time.
set -euo pipefail
cd "$(dirname "$0")/../tests/node"
stamp=node_modules/.installed-lock
if [ -f "$stamp" ] && cmp -s package-lock.json "$stamp"; then exit 0; fi
npm ci --no-audit --no-fund --loglevel=error >/dev/null
cp package-lock.json "$stamp"
