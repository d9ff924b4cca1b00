# A StatusNotifier tray: the watcher and a host (gtk-sni-tray-standalone) on the private
# session bus, drawing its bar on the virtual X server. Qt then exports the tray icon as a
# StatusNotifierItem and its menu over DBusMenu.

tray_ready() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    IsStatusNotifierHostRegistered | grep -q true
}

start_tray() {
  require x11
  require session
  command -v gtk-sni-tray-standalone >/dev/null ||
    harness_fail "gtk-sni-tray-standalone is not installed (package haskell-gtk-sni-tray-utils)"
  # The standalone tray sometimes asks its own watcher for an object before it is exported,
  # and exits at once. Such a start is repeated; a tray that stays up but never gets ready
  # fails the test.
  for _ in 1 2 3 4 5; do
    harness_spawn "$VIGILMOUNT_TEST_ROOT/tray" gtk-sni-tray-standalone --watcher --top --end \
      --size 32
    harness_poll 30 "the StatusNotifier watcher and host" tray_ready && return 0
  done
  harness_fail "the StatusNotifier tray exited at start-up 5 times in a row"
}
