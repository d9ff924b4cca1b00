# A private D-Bus session bus at $XDG_RUNTIME_DIR/bus. Only GVfs's own daemon (and its metadata
# service) can be activated on it, so no installed desktop service is started by accident.

start_session() {
  local service services=$VIGILMOUNT_TEST_ROOT/session/services
  mkdir -p "$services"
  for service in org.gtk.vfs.Daemon org.gtk.vfs.Metadata; do
    [ -f "/usr/share/dbus-1/services/$service.service" ] &&
      ln -sf "/usr/share/dbus-1/services/$service.service" "$services/"
  done
  export GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1 GIO_USE_VFS=gvfs
  # gvfsd starts gvfsd-fuse only when GVFS_DISABLE_FUSE is absent (any value disables it).
  unset GVFS_DISABLE_FUSE
  start_bus session session "$XDG_RUNTIME_DIR/bus"
}
