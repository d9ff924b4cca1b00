#!/usr/bin/env bash
# Builds the benchmarks (optimised) and prints each figure beside its baseline as a ratio.
# Not part of the pass/fail suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
cmake --preset bench >/dev/null
cmake --build --preset bench
out=build/bench/bench-results
mkdir -p "$out"
for exe in build/bench/bench/*/*Bench; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  "$exe" --benchmark_format=json --benchmark_out="$out/$name.json" \
    --benchmark_out_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    >/dev/null
done
python3 bench/ratios.py "$out"/*.json
