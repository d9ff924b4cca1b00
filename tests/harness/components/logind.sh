# shellcheck shell=bash source=SCRIPTDIR/../bus-names.sh
source "$VIGILMOUNT_HARNESS_DIR/bus-names.sh"

# A stand-in for systemd-logind on the private system bus: it owns org.freedesktop.login1
# before the program under test starts, and emits PrepareForSleep(b) when a test runs
# tests/harness/emit-prepare-for-sleep true|false.

start_logind() {
  require systembus
  local dir="$VIGILMOUNT_TEST_ROOT/logind"
  mkdir -p "$dir"
  /usr/bin/python3 "$VIGILMOUNT_HARNESS_DIR/fakes/logind.py" >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  wait_for_bus_name system org.freedesktop.login1 "$(cat "$dir/pid")" "$dir/log" ||
    harness_fail "the fake logind did not take org.freedesktop.login1"
}

stop_logind() {
  local pid
  pid=$(cat "$VIGILMOUNT_TEST_ROOT/logind/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
