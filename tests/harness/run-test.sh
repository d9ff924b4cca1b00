#!/usr/bin/env bash
# Runs one test program with a fresh HOME and XDG folders (never the real user's files) and the
# real components it asks for, then stops them again.
#
# Usage: run-test.sh [--<component> ...] -- program [args...]
# A component is a script tests/harness/components/<name>.sh that defines start_<name> and
# stop_<name>; start_<name> may call `require <other>` for what it builds on, must wait until
# its component is ready (never a fixed sleep) and must fail loudly when it cannot start.
set -euo pipefail

harness_dir=$(cd "$(dirname "$0")" && pwd)
components=()
while [ $# -gt 0 ]; do
  case "$1" in
    --) shift; break ;;
    --*) components+=("${1#--}"); shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "run-test.sh: no program given" >&2; exit 2; }

root=$(mktemp -d /tmp/vigilmount-test.XXXXXX)
chmod 700 "$root"
mkdir -m 700 -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/runtime"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime"
export VIGILMOUNT_TEST_ROOT="$root" VIGILMOUNT_HARNESS_DIR="$harness_dir"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# Sanitizer builds: leaks inside system libraries at exit are not the program's.
export LSAN_OPTIONS="suppressions=$harness_dir/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
unset DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY

declare -A started=()
stop_order=()

harness_fail() {
  echo "run-test.sh: $*" >&2
  exit 3
}

# Polls a command until it succeeds; fails loudly after the given number of seconds.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || harness_fail "$what did not become ready within ${seconds}s"
    sleep 0.05
  done
}

# Starts a dbus-daemon with the given config and waits until it answers on that bus.
# Usage: start_bus_daemon <session|system> <config file> <pid file>
start_bus_daemon() {
  local bus=$1 config=$2 pidfile=$3
  dbus-daemon --config-file="$config" --fork --print-pid=3 3>"$pidfile" ||
    harness_fail "the $bus bus did not start"
  wait_until 10 "the $bus bus" gdbus call "--$bus" --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId
}

# Ends the process whose id a component wrote to a file (nothing when there is none).
kill_pidfile() {
  local pid
  pid=$(cat "$1" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
}

require() {
  local name=$1
  [ -z "${started[$name]:-}" ] || return 0
  local script="$harness_dir/components/$name.sh"
  [ -f "$script" ] || harness_fail "unknown component '$name'"
  # shellcheck source=/dev/null
  source "$script"
  "start_$name"
  started[$name]=1
  stop_order=("$name" "${stop_order[@]}")
}

cleanup() {
  local status=$?
  for name in "${stop_order[@]}"; do
    "stop_$name" >/dev/null 2>&1 || true
  done
  rm -rf "$root" 2>/dev/null || true
  exit $status
}
trap cleanup EXIT

for c in "${components[@]}"; do
  require "$c"
done

"$@"
