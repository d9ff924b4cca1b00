# A virtual X server (Xvfb) on a display it picks itself. Exports DISPLAY and makes Qt use xcb.

start_x11() {
  local dir="$VIGILMOUNT_TEST_ROOT/x11"
  mkdir -p "$dir"
  command -v Xvfb >/dev/null || harness_fail "Xvfb is not installed (package xvfb)"
  command -v xdpyinfo >/dev/null || harness_fail "xdpyinfo is not installed (package x11-utils)"
  # -displayfd lets Xvfb choose a free display number and report it once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
    3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
  echo $! >"$dir/pid"
  wait_until 15 "Xvfb (display number)" test -s "$dir/display"
  local number
  number=$(tr -d '[:space:]' <"$dir/display")
  export DISPLAY=":$number" QT_QPA_PLATFORM=xcb
  wait_until 15 "Xvfb on $DISPLAY" xdpyinfo
}

stop_x11() {
  local pid
  pid=$(cat "$VIGILMOUNT_TEST_ROOT/x11/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
