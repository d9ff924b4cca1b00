#!/usr/bin/env bash
# Builds the benchmarks (optimised) and prints each figure beside its baseline as a ratio.
# Not part of the pass/fail suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
cmake --preset bench >/dev/null
cmake --build --preset bench
out=$PWD/build/bench/bench-results
mkdir -p "$out"

# The real components a benchmark needs (harness component flags); none for most.
components_of() {
  case "$1" in
    CheckCycleBench) echo "--samba --gvfs" ;;
  esac
}

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo --preserve-env)
for exe in build/bench/bench/*/*Bench; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  args=(--benchmark_format=json --benchmark_out="$out/$name.json" --benchmark_out_format=json
    --benchmark_repetitions=3 --benchmark_report_aggregates_only=true)
  components=$(components_of "$name")
  if [ -z "$components" ]; then
    "$exe" "${args[@]}" >/dev/null
  else
    # Like the test suite: private network, PID and mount namespaces, the harness starting the
    # components; everything it starts ends with the namespace.
    # shellcheck disable=SC2086 # the component flags are words
    "${sudo_cmd[@]}" unshare --net --pid --mount --fork --mount-proc --kill-child -- \
      bash -c 'ip link set lo up && exec "$@"' bench-in-namespace \
      tests/harness/run-test.sh $components -- "$PWD/$exe" "${args[@]}" >/dev/null
  fi
done
python3 bench/ratios.py "$out"/*.json
