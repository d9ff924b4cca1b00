# A notification server on the private session bus that shows nothing: it owns
# org.freedesktop.Notifications and appends one JSON line per call to the file named by
# VIGILMOUNT_NOTIFICATIONS_LOG.

start_notifications() {
  require session
  mkdir -p "$VIGILMOUNT_TEST_ROOT/notifications"
  export VIGILMOUNT_NOTIFICATIONS_LOG="$VIGILMOUNT_TEST_ROOT/notifications/calls.jsonl"
  : >"$VIGILMOUNT_NOTIFICATIONS_LOG"
  start_bus_fake session org.freedesktop.Notifications notifications.py notifications
}
