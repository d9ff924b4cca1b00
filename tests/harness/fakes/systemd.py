#!/usr/bin/python3
"""A stand-in for systemd's manager on the system bus. It has one loaded unit,
plexmediaserver.service, and appends "<Method> <unit> <interactive 0|1>" to the file named by
argv[1] for each StartUnit and RestartUnit. With "refuse" as argv[2] it turns away a change
that does not allow interactive authorization, as polkit does for a desktop user."""

import sys

from gi.repository import Gio, GLib

UNIT = "plexmediaserver.service"
UNIT_PATH = "/org/freedesktop/systemd1/unit/plexmediaserver_2eservice"
NODE = Gio.DBusNodeInfo.new_for_xml("""<node>
<interface name="org.freedesktop.systemd1.Manager">
  <method name="GetUnit"><arg type="s" direction="in"/><arg type="o" direction="out"/></method>
  <method name="LoadUnit"><arg type="s" direction="in"/><arg type="o" direction="out"/></method>
  <method name="StartUnit"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="o" direction="out"/></method>
  <method name="RestartUnit"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="o" direction="out"/></method>
</interface>
<interface name="org.freedesktop.systemd1.Unit">
  <property name="LoadState" type="s" access="read"/>
</interface></node>""")


def on_call(_conn, _sender, _path, _iface, method, args, invocation):
    unit = args[0]
    if unit != UNIT:
        invocation.return_dbus_error("org.freedesktop.systemd1.NoSuchUnit", "Unit not loaded.")
        return
    if method in ("GetUnit", "LoadUnit"):
        invocation.return_value(GLib.Variant("(o)", (UNIT_PATH,)))
        return
    flags = invocation.get_message().get_flags()
    interactive = bool(flags & Gio.DBusMessageFlags.ALLOW_INTERACTIVE_AUTHORIZATION)
    with open(sys.argv[1], "a", encoding="utf-8") as calls:
        calls.write(f"{method} {unit} {int(interactive)}\n")
    if len(sys.argv) > 2 and sys.argv[2] == "refuse" and not interactive:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
                                     "Interactive authentication required.")
        return
    invocation.return_value(GLib.Variant("(o)", ("/org/freedesktop/systemd1/job/1",)))


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    bus.register_object("/org/freedesktop/systemd1", NODE.interfaces[0], on_call)
    bus.register_object(UNIT_PATH, NODE.interfaces[1], None,
                        lambda *_: GLib.Variant("s", "loaded"))
    # Exported before the name is taken, so whoever sees the owner can use it at once.
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.systemd1", Gio.BusNameOwnerFlags.NONE)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
