#!/usr/bin/env bash
# Fails when a C++ source of the project strays from .clang-format; names each place.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror
echo "format: $(git ls-files '*.cpp' '*.h' | wc -l) sources as .clang-format has them"
