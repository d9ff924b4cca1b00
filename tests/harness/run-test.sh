#!/usr/bin/env bash
# Runs one test program with a fresh HOME and XDG folders (never the real user's files).
# Usage: run-test.sh [--component ...] -- program [args...]
set -euo pipefail

components=()
while [ $# -gt 0 ]; do
  case "$1" in
    --) shift; break ;;
    --*) components+=("${1#--}"); shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "run-test.sh: no program given" >&2; exit 2; }

for c in "${components[@]}"; do
  echo "run-test.sh: unknown component '$c'" >&2
  exit 2
done

root=$(mktemp -d /tmp/vigilmount-test.XXXXXX)
trap 'rm -rf "$root"' EXIT
mkdir -m 700 -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime"
export VIGILMOUNT_TEST_ROOT="$root"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
"$@"
