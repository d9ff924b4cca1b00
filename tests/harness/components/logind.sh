# shellcheck shell=bash source=SCRIPTDIR/../bus-names.sh
source "$VIGILMOUNT_HARNESS_DIR/bus-names.sh"

# A stand-in for systemd-logind on the private system bus: it owns org.freedesktop.login1
# before the program under test starts, and emits PrepareForSleep(b) when a test runs
# tests/harness/emit-prepare-for-sleep true|false.

start_logind() {
  require systembus
  start_bus_fake system org.freedesktop.login1 logind.py "$VIGILMOUNT_TEST_ROOT/logind" \
    "the fake logind"
}

stop_logind() {
  stop_bus_fake "$VIGILMOUNT_TEST_ROOT/logind"
}
