#!/usr/bin/python3
"""A notification server that shows nothing: owns org.freedesktop.Notifications on the session
bus and appends one JSON line per call to $VIGILMOUNT_NOTIFICATIONS_LOG. Notify lines carry the
message signature and every argument; GetCapabilities lines only the method. A notification
that replaces a known one keeps its id. A test can make the server slow with
org.vigilmount.Test.SetReplyDelay(u milliseconds), change what it offers with
SetCapabilities(as), and have it report a click with InvokeAction(u id, s key)."""

import json
import os

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

INTERFACE = "org.freedesktop.Notifications"
TEST = "org.vigilmount.Test"


def plain(value):
    """dbus-python values as JSON values (booleans before integers: dbus.Boolean is an int)."""
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.String, str)):
        return str(value)
    if isinstance(value, int):
        return int(value)
    if isinstance(value, float):
        return float(value)
    return str(value)


TYPE_CODES = [(dbus.Boolean, "b"), (dbus.Byte, "y"), (dbus.Int16, "n"), (dbus.UInt16, "q"),
              (dbus.Int32, "i"), (dbus.UInt32, "u"), (dbus.Int64, "x"), (dbus.UInt64, "t"),
              (dbus.Double, "d"), (dbus.String, "s"), (dbus.ObjectPath, "o"),
              (dbus.Array, "a"), (dbus.Dictionary, "a{}"), (dbus.Struct, "()")]


def type_code(value):
    """The D-Bus type a variant arrived as."""
    for cls, code in TYPE_CODES:
        if isinstance(value, cls):
            return code
    return "?"


class Server(dbus.service.Object):
    def __init__(self, bus, log_path):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log_path = log_path
        self.last_id = 0
        self.reply_delay_ms = 0
        self.capabilities = ["body", "body-markup"]

    def record(self, entry):
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def answer(self, reply, value):
        """Answers at once, or after the delay a test asked for (a slow server)."""
        if self.reply_delay_ms:
            GLib.timeout_add(self.reply_delay_ms, lambda: reply(value) and False)
        else:
            reply(value)

    @dbus.service.method(INTERFACE, in_signature="", out_signature="as",
                         async_callbacks=("reply", "error"))
    def GetCapabilities(self, reply=None, error=None):
        self.record({"method": "GetCapabilities"})
        self.answer(reply, dbus.Array(self.capabilities, signature="s"))

    @dbus.service.method(INTERFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ["vigilmount-test-listener", "Vigilmount", "1.0", "1.2"]

    @dbus.service.method(INTERFACE, in_signature="susssasa{sv}i", out_signature="u",
                         message_keyword="message", async_callbacks=("reply", "error"))
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire,
               message=None, reply=None, error=None):
        notification_id = int(replaces_id)
        if not 0 < notification_id <= self.last_id:
            self.last_id += 1
            notification_id = self.last_id
        self.record({
            "method": "Notify",
            "signature": str(message.get_signature()),
            "app_name": plain(app_name),
            "replaces_id": plain(replaces_id),
            "app_icon": plain(app_icon),
            "summary": plain(summary),
            "body": plain(body),
            "actions": plain(actions),
            "hints": plain(hints),
            "hint_types": {str(k): type_code(v) for k, v in hints.items()},
            "expire": plain(expire),
            "id": notification_id,
        })
        self.answer(reply, dbus.UInt32(notification_id))

    @dbus.service.method(TEST, in_signature="u", out_signature="")
    def SetReplyDelay(self, milliseconds):
        self.reply_delay_ms = int(milliseconds)

    @dbus.service.method(TEST, in_signature="as", out_signature="")
    def SetCapabilities(self, capabilities):
        self.capabilities = [str(c) for c in capabilities]

    @dbus.service.method(TEST, in_signature="us", out_signature="")
    def InvokeAction(self, notification_id, key):
        self.ActionInvoked(notification_id, key)

    @dbus.service.signal(INTERFACE, signature="us")
    def ActionInvoked(self, notification_id, key):
        pass

    @dbus.service.method(INTERFACE, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        pass


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    server = Server(bus, os.environ["VIGILMOUNT_NOTIFICATIONS_LOG"])
    name = dbus.service.BusName("org.freedesktop.Notifications", bus, do_not_queue=True)
    GLib.MainLoop().run()
    del server, name


if __name__ == "__main__":
    main()
