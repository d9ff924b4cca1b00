# GVfs on the private session bus: the daemon is started by D-Bus activation, starts
# gvfsd-fuse itself, and the component is ready once the FUSE mount exists at
# $XDG_RUNTIME_DIR/gvfs. Stopping unmounts every GVfs mount, ends the daemons and leaves no
# FUSE mount behind.

gvfs_fuse_mounted() {
  awk -v dir="$XDG_RUNTIME_DIR/gvfs" '$5 == dir && $0 ~ / - fuse\.gvfsd-fuse / { found = 1 }
    END { exit !found }' /proc/self/mountinfo
}

start_gvfs() {
  require session
  command -v /usr/libexec/gvfsd >/dev/null || harness_fail "gvfsd is not installed (package gvfs)"
  [ -x /usr/libexec/gvfsd-fuse ] || harness_fail "gvfsd-fuse is not installed (package gvfs-fuse)"
  [ -x /usr/libexec/gvfsd-smb ] || harness_fail "gvfsd-smb is not installed (package gvfs-backends)"
  [ -c /dev/fuse ] || harness_fail "/dev/fuse is missing"
  gdbus call --session --dest org.gtk.vfs.Daemon --object-path /org/gtk/vfs/Daemon \
    --method org.freedesktop.DBus.Peer.Ping >/dev/null ||
    harness_fail "GVfs could not be activated on the session bus"
  gvfsd_pid=$(harness_bus_owner_pid org.gtk.vfs.Daemon)
  [ -n "$gvfsd_pid" ] || harness_fail "no process owns org.gtk.vfs.Daemon"
  wait_until 10 "gvfsd-fuse at $XDG_RUNTIME_DIR/gvfs" gvfs_fuse_mounted
}

stop_gvfs() {
  local uri
  # Unmount every GVfs mount while the daemons are still there.
  for uri in $(gio mount -l 2>/dev/null | sed -n 's/^Mount([0-9]*): .* -> \([^ ]*\)$/\1/p'); do
    timeout 10 gio mount -u "$uri" >/dev/null 2>&1 || true
  done
  harness_stop_tree "${gvfsd_pid:-}"
  harness_stop_tree "$(harness_bus_owner_pid org.gtk.vfs.Metadata)"
  # gvfsd-fuse unmounts itself when it ends; make sure of it.
  if gvfs_fuse_mounted; then
    fusermount3 -u -z "$XDG_RUNTIME_DIR/gvfs" 2>/dev/null || umount -l "$XDG_RUNTIME_DIR/gvfs"
  fi
  ! gvfs_fuse_mounted
}
