#!/usr/bin/env bash
# Builds the history fuzzer with clang and runs it for a fixed number of executions
# (default 50000). Not part of the pass/fail suite.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50000}
scripts/deps.sh all
cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz
corpus=build/fuzz/corpus
mkdir -p "$corpus"
printf '%s' '{"id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0","date":"2025-03-01T08:15:00Z","kind":"plexDown","detail":"Plex stopped running"}' >"$corpus/seed-record"
printf '%s\n%s\n' '{"id":"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0","date":"2025-03-01T09:15:00+01:00","kind":"wake","detail":"a\tb"}' 'not json' >"$corpus/seed-file"
build/fuzz/HistoryFuzz -runs="$runs" -max_len=4096 "$corpus"
