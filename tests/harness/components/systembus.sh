# shellcheck shell=bash
# A private D-Bus system bus: exported as DBUS_SYSTEM_BUS_ADDRESS, nothing can be activated on
# it, and anyone on it may own any name and send anything (test services such as a fake logind
# live here).

start_systembus() {
  local dir="$VIGILMOUNT_TEST_ROOT/system-bus"
  mkdir -p "$dir"
  cat >"$dir/system.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <keep_umask/>
  <listen>unix:path=$dir/socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow send_destination="*"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF
  dbus-daemon --config-file="$dir/system.conf" --fork --print-pid=3 3>"$dir/pid" ||
    harness_fail "the system bus did not start"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/socket"
  wait_until 10 "the system bus" gdbus call --system --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId
}

stop_systembus() {
  local pid
  pid=$(cat "$VIGILMOUNT_TEST_ROOT/system-bus/pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || true
}
