# A private D-Bus session bus. Only GVfs's own daemon (and its metadata service) can be
# activated on it, so no installed desktop service is started by accident.

start_session() {
  local dir="$VIGILMOUNT_TEST_ROOT/session-bus"
  mkdir -p "$dir/services"
  for service in org.gtk.vfs.Daemon org.gtk.vfs.Metadata; do
    [ -f "/usr/share/dbus-1/services/$service.service" ] &&
      ln -sf "/usr/share/dbus-1/services/$service.service" "$dir/services/"
  done
  cat >"$dir/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:path=$XDG_RUNTIME_DIR/bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$dir/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
  export GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1 GIO_USE_VFS=gvfs
  # gvfsd starts gvfsd-fuse only when GVFS_DISABLE_FUSE is absent (any value disables it).
  unset GVFS_DISABLE_FUSE
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  start_bus_daemon session "$dir/session.conf" "$dir/pid"
}

stop_session() {
  kill_pidfile "$VIGILMOUNT_TEST_ROOT/session-bus/pid"
}
