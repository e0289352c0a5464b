"""A tray as Wayland desktops offer one (KDE's StatusNotifierItem), as small
as it can be: owns org.kde.StatusNotifierWatcher on the session bus, says
that a host shows the items, and writes every item that registers, and
every one that leaves the bus, to a log (one JSON object a line). It shows
nothing; a test clicks an item by calling the item's own Activate.

    /usr/bin/python3 -B status_notifier_host.py LOG
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
PROPERTIES = "org.freedesktop.DBus.Properties"


class Watcher(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, PATH)
        self.bus, self.log, self.items = bus, log, []
        bus.add_signal_receiver(self.owner_changed, signal_name="NameOwnerChanged",
                                dbus_interface="org.freedesktop.DBus")

    def write(self, **entry):
        with open(self.log, "a") as f:
            f.write(json.dumps(entry) + "\n")

    @dbus.service.method(NAME, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # An item names its bus name, or only its object path on the sender.
        service, path = (str(sender), str(service)) if service.startswith("/") else (str(service), "/StatusNotifierItem")
        item = f"{service}{path}"
        if item not in self.items:
            self.items.append(item)
        self.write(event="register", service=service, path=path, sender=str(sender))
        self.StatusNotifierItemRegistered(item)

    @dbus.service.method(NAME, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    def owner_changed(self, name, old, new):
        for item in list(self.items):
            if not new and (item.startswith(f"{name}/") or name == item.split("/", 1)[0]):
                self.items.remove(item)
                self.write(event="gone", service=str(name))
                self.StatusNotifierItemUnregistered(item)

    @dbus.service.signal(NAME, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.signal(NAME, signature="s")
    def StatusNotifierItemUnregistered(self, item):
        pass

    @dbus.service.signal(NAME, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def _properties(self):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0)}

    # Qt reads the properties only where the introspection names them,
    # which dbus-python's own does not.
    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s")
    def Introspect(self):
        return f"""<node>
 <interface name="{NAME}">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
 <interface name="{PROPERTIES}">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{{sv}}" direction="out"/></method>
 </interface>
</node>"""

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self._properties()[str(name)]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self._properties()


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus, sys.argv[1])
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)  # noqa: F841 (held while we run)
    watcher.write(event="ready")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
