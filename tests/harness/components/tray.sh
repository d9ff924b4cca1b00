# A StatusNotifier tray: the watcher and a host (gtk-sni-tray-standalone) on the private
# session bus, drawing its bar on the virtual X server. Qt then exports the tray icon as a
# StatusNotifierItem and its menu over DBusMenu.

tray_watcher_ready() {
  local owned host
  owned=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher) || return 1
  [[ $owned == *true* ]] || return 1
  host=$(gdbus call --session --dest org.kde.StatusNotifierWatcher \
    --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered) || return 1
  [[ $host == *true* ]]
}

start_tray() {
  require x11
  require session
  command -v gtk-sni-tray-standalone >/dev/null ||
    harness_fail "gtk-sni-tray-standalone is not installed (package haskell-gtk-sni-tray-utils)"
  local dir="$VIGILMOUNT_TEST_ROOT/tray" attempt pid deadline
  mkdir -p "$dir"
  # The standalone tray sometimes asks its own watcher for an object before it is exported,
  # and exits at once. Such a start is repeated; a tray that stays up but never gets ready
  # fails the test.
  for attempt in 1 2 3 4 5; do
    gtk-sni-tray-standalone --watcher --top --end --size 32 >"$dir/log" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/pid"
    deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ]; do
      tray_watcher_ready && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
      sed 's/^/  tray: /' "$dir/log" >&2
      harness_fail "the StatusNotifier watcher and host did not become ready within 30s"
    fi
    wait "$pid" 2>/dev/null || true
  done
  sed 's/^/  tray: /' "$dir/log" >&2
  harness_fail "the StatusNotifier tray exited at start-up $attempt times in a row"
}

stop_tray() {
  local pid
  pid=$(cat "$VIGILMOUNT_TEST_ROOT/tray/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
