#!/usr/bin/python3
"""A stand-in for systemd-logind: owns org.freedesktop.login1 on the system bus and emits
org.freedesktop.login1.Manager.PrepareForSleep(b) when asked through the test interface
org.vigilmount.Test.EmitPrepareForSleep(b)."""

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MANAGER = "org.freedesktop.login1.Manager"
TEST = "org.vigilmount.Test"


class Manager(dbus.service.Object):
    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, start):
        pass

    @dbus.service.method(TEST, in_signature="b", out_signature="")
    def EmitPrepareForSleep(self, start):
        self.PrepareForSleep(start)


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    manager = Manager(bus, "/org/freedesktop/login1")
    # Exported before the name is taken, so whoever sees the owner can use it at once.
    name = dbus.service.BusName("org.freedesktop.login1", bus, do_not_queue=True)
    GLib.MainLoop().run()
    del manager, name


if __name__ == "__main__":
    main()
