"""A desktop's notification service, as small as it can be: owns
org.freedesktop.Notifications on the session bus, offers buttons
("actions"), writes every notification and every close to a log (one JSON
object a line), and presses a button when the test asks it to through
its own method Press(id, key).

    /usr/bin/python3 -B notification_server.py LOG
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
TEST = "org.softphone.TestNotifications"


class Server(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, PATH)
        self.log, self.next_id, self.open = log, 1, set()

    def write(self, **entry):
        with open(self.log, "a") as f:
            f.write(json.dumps(entry) + "\n")

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("test", "softphone", "1", "1.2")

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        nid = int(replaces) or self.next_id
        self.next_id = max(self.next_id, nid + 1)
        self.open.add(nid)
        self.write(event="notify", id=nid, app=str(app), summary=str(summary), body=str(body),
                   actions=[str(a) for a in actions])
        return nid

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        if int(nid) in self.open:
            self.open.discard(int(nid))
            self.write(event="close", id=int(nid))
            self.NotificationClosed(nid, 3)

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.method(TEST, in_signature="us", out_signature="")
    def Press(self, nid, key):
        """A person presses a button of an open notification."""
        self.write(event="press", id=int(nid), key=str(key))
        self.ActionInvoked(nid, key)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    server = Server(bus, sys.argv[1])
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)  # noqa: F841 (held while we run)
    server.write(event="ready")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
