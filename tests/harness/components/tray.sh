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
  local dir="$VIGILMOUNT_TEST_ROOT/tray"
  mkdir -p "$dir"
  gtk-sni-tray-standalone --watcher --top --end --size 32 >"$dir/log" 2>&1 &
  echo $! >"$dir/pid"
  wait_until 30 "the StatusNotifier watcher and host" tray_watcher_ready
}

stop_tray() {
  local pid
  pid=$(cat "$VIGILMOUNT_TEST_ROOT/tray/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
