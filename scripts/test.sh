#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Extra arguments go to ctest
# (for example: scripts/test.sh -R EventLog).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh all
cmake --preset dev >/dev/null
cmake --build --preset dev
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo --preserve-env)
# The suite runs in private network, PID and mount namespaces: its servers listen on loopback
# only, its mounts stay private, and every daemon it starts ends with it.
exec "${sudo_cmd[@]}" unshare --net --pid --mount --fork --mount-proc --kill-child -- \
  bash -c 'ip link set lo up && ctest --preset dev "$@"' ctest-in-namespace "$@"
