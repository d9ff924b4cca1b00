#!/usr/bin/env bash
# Runs one test program with a fresh HOME and XDG folders (never the real user's files) and the
# real components it asks for, then stops them again.
#
# Usage: run-test.sh [--<component> ...] -- program [args...]
# A component is a script components/<name>.sh defining start_<name>, which may `require` the
# components it builds on, must wait until its component is ready (never a fixed sleep) and must
# fail loudly when it cannot start. Stopping calls stop_<name> when the script defines one, and
# otherwise ends the process tree whose id is in $VIGILMOUNT_TEST_ROOT/<name>/pid.
set -euo pipefail

harness_dir=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/lib/harness.sh
source "$harness_dir/lib/harness.sh"
components=()
while [ $# -gt 0 ]; do
  case "$1" in
    --) shift; break ;;
    --*) components+=("${1#--}"); shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || harness_fail "no program given"

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

# Starts a component once; it is stopped even when its start fails halfway.
require() {
  local name=$1
  [ -z "${started[$name]:-}" ] || return 0
  [ -f "$harness_dir/components/$name.sh" ] || harness_fail "unknown component '$name'"
  # shellcheck source=/dev/null
  source "$harness_dir/components/$name.sh"
  started[$name]=1
  stop_order=("$name" "${stop_order[@]}")
  spawned_pid='' spawned_log=''
  "start_$name"
}

cleanup() {
  local status=$? name
  for name in "${stop_order[@]}"; do
    if declare -F "stop_$name" >/dev/null; then
      "stop_$name" >/dev/null 2>&1 || true
    else
      harness_stop_tree "$(cat "$root/$name/pid" 2>/dev/null)"
    fi
  done
  rm -rf "$root" 2>/dev/null || true
  exit $status
}
trap cleanup EXIT

for c in "${components[@]}"; do
  require "$c"
done

"$@"
