#!/usr/bin/env bash
# Starts the program on a Wayland compositor (run by run-test.sh --tray --wayland) and checks
# that its first-launch settings window maps as a toplevel named by the desktop entry's id,
# that its tray item registers with the StatusNotifier watcher, and that SIGTERM ends it
# normally. The window is seen in the client's own protocol log (WAYLAND_DEBUG).
# Usage: check-wayland.sh <vigilmount binary> <desktop entry>
set -uo pipefail
binary=$1
app_id=$(basename "$2" .desktop)
log=$VIGILMOUNT_TEST_ROOT/wayland/client.log

fail() {
  echo "FAIL: $*"
  exit 1
}

# The toplevel announced the desktop entry's id, and once a configure was acknowledged a
# buffer was attached: the window is mapped.
window_mapped() {
  grep -qF "set_app_id(\"$app_id\")" "$log" &&
    sed -n '/xdg_surface@[0-9]*\.ack_configure/,$p' "$log" |
    grep -q 'wl_surface@[0-9]*\.attach(wl_buffer@'
}

registered_items() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher \
    --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null |
    grep -oE ':[0-9]+\.[0-9]+'
}

bus_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null |
    sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}

item_registered_by() {
  local item
  for item in $(registered_items); do
    [ "$(bus_pid "$item")" = "$1" ] && return 0
  done
  return 1
}

[ "$QT_QPA_PLATFORM" = wayland ] && [ -z "${DISPLAY:-}" ] || fail "not a Wayland-only session"
WAYLAND_DEBUG=client "$binary" 2>"$log" &
pid=$!

window=no tray=no
deadline=$((SECONDS + 30))
while [ $SECONDS -lt $deadline ] && { [ $window = no ] || [ $tray = no ]; }; do
  kill -0 "$pid" 2>/dev/null || fail "vigilmount exited at start-up: $(grep -v '^\[' "$log")"
  window_mapped && window=yes
  item_registered_by "$pid" && tray=yes
  sleep 0.2
done
[ $window = yes ] ||
  fail "no window with app_id $app_id mapped; seen: $(grep -o 'set_app_id(.*)' "$log")"
[ $tray = yes ] || fail "vigilmount registered no StatusNotifier item"

kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "vigilmount ended with status $status after SIGTERM"
echo "The settings window mapped on Wayland and the tray item registered."
