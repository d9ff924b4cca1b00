# A virtual X server (Xvfb) on a display it picks itself. Exports DISPLAY and makes Qt use xcb.

start_x11() {
  local dir=$VIGILMOUNT_TEST_ROOT/x11
  command -v Xvfb >/dev/null || harness_fail "Xvfb is not installed (package xvfb)"
  command -v xdpyinfo >/dev/null || harness_fail "xdpyinfo is not installed (package x11-utils)"
  mkdir -p "$dir"
  # -displayfd lets Xvfb choose a free display number and report it once it accepts clients.
  harness_spawn "$dir" Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
    3>"$dir/display"
  wait_until 15 "Xvfb (display number)" test -s "$dir/display"
  export DISPLAY=":$(tr -d '[:space:]' <"$dir/display")" QT_QPA_PLATFORM=xcb
  wait_until 15 "Xvfb on $DISPLAY" xdpyinfo
}
