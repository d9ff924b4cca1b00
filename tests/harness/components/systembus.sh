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
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/socket"
  start_bus_daemon system "$dir/system.conf" "$dir/pid"
}

stop_systembus() {
  kill_pidfile "$VIGILMOUNT_TEST_ROOT/system-bus/pid"
}
