#!/usr/bin/env bash
# Installs what is missing, builds an optimised Vigilmount and starts it.
# Arguments go to the program (for example: scripts/run.sh --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/vigilmount "$@"
