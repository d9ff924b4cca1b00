# A headless Wayland compositor (weston's headless backend) on a socket in XDG_RUNTIME_DIR.
# Exports WAYLAND_DISPLAY, makes Qt use its wayland plugin and drops DISPLAY, so a program
# started after it cannot fall back to X (a tray host started before keeps its X server).

start_wayland() {
  local socket=vigilmount-wayland
  command -v weston >/dev/null || harness_fail "weston is not installed (package weston)"
  [ -n "$(find /usr/lib -path '*qt6/plugins/platforms/libqwayland-generic.so' -print -quit)" ] ||
    harness_fail "Qt's wayland plugin is not installed (package qt6-wayland)"
  # The kiosk shell maps every toplevel at once and starts no helper clients of its own.
  harness_spawn "$VIGILMOUNT_TEST_ROOT/wayland" weston --backend=headless-backend.so \
    --shell=kiosk-shell.so --socket="$socket" --no-config --idle-time=0
  wait_until 15 "weston (socket $socket)" test -S "$XDG_RUNTIME_DIR/$socket"
  export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
  unset DISPLAY
}
