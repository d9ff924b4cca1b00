# shellcheck shell=bash source=SCRIPTDIR/../bus-names.sh
source "$VIGILMOUNT_HARNESS_DIR/bus-names.sh"

# A notification server on the private session bus that shows nothing: it owns
# org.freedesktop.Notifications, answers GetCapabilities, GetServerInformation and Notify, and
# appends one JSON line per call to the file named by VIGILMOUNT_NOTIFICATIONS_LOG.

start_notifications() {
  require session
  local dir="$VIGILMOUNT_TEST_ROOT/notifications"
  mkdir -p "$dir"
  export VIGILMOUNT_NOTIFICATIONS_LOG="$dir/calls.jsonl"
  : >"$VIGILMOUNT_NOTIFICATIONS_LOG"
  /usr/bin/python3 "$VIGILMOUNT_HARNESS_DIR/fakes/notifications.py" >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  wait_for_bus_name session org.freedesktop.Notifications "$(cat "$dir/pid")" "$dir/log" ||
    harness_fail "the notification listener did not take org.freedesktop.Notifications"
}

stop_notifications() {
  local pid
  pid=$(cat "$VIGILMOUNT_TEST_ROOT/notifications/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
