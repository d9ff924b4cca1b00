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
  start_bus_fake session org.freedesktop.Notifications notifications.py "$dir" \
    "the notification listener"
}

stop_notifications() {
  stop_bus_fake "$VIGILMOUNT_TEST_ROOT/notifications"
}
