#!/usr/bin/env bash
# Formats every C++ file of the project with the repository's .clang-format.
# Usage: scripts/format.sh          rewrites the files in place
#        scripts/format.sh --check  changes nothing; fails and names each file that differs
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
  exec clang-format --dry-run --Werror "${files[@]}"
fi
exec clang-format -i "${files[@]}"
