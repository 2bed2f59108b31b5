#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A desktop's side of the session bus, for the end-to-end tests: a tray host
(org.kde.StatusNotifierWatcher, with a registered host) and a notification server
(org.freedesktop.Notifications). It appends one line per event to the file named on its
command line:

    registered <service> <sender>     an item registered
    unregistered <service>            its owner left the bus
    notify app=<a> id=<n> replaces=<r> urgency=<u> timeout=<t> actions=<k,...> summary=<s> body=<b>
    close <id>                        CloseNotification

and offers the test org.kelvane.TestHost at /TestHost: Invoke(id, key) emits ActionInvoked,
Expire(id) emits NotificationClosed(id, 1). With --tray-only it is a tray host and no
notification server. The system's dbus and gi modules: /usr/bin/python3.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
NOTIFICATIONS = "org.freedesktop.Notifications"
PROPERTIES = "org.freedesktop.DBus.Properties"

# Qt reads IsStatusNotifierHostRegistered through introspection: without the properties
# listed here it falls back to the XEmbed tray.
WATCHER_XML = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg type="s" direction="out"/></method>
  </interface>
</node>
"""


class Log:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8")

    def say(self, line):
        self.file.write(line.replace("\n", "\\n") + "\n")
        self.file.flush()


class Watcher(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus, self.log, self.items = bus, log, {}
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    def properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items.keys(), signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return WATCHER_XML

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        # An item names its bus name, or only its object path on the sender's connection.
        name = service if not service.startswith("/") else sender + service
        self.items[name] = sender
        self.log.say(f"registered {name} {sender}")
        self.StatusNotifierItemRegistered(name)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemUnregistered(self, service):
        pass

    def owner_changed(self, name, old, new):
        if new:
            return
        for item, sender in list(self.items.items()):
            if name in (item, sender):
                del self.items[item]
                self.log.say(f"unregistered {item}")
                self.StatusNotifierItemUnregistered(item)


class Notifications(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log, self.last = log, 0

    @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.last += 1
        nid = int(replaces) or self.last
        urgency = int(hints["urgency"]) if "urgency" in hints else "-"
        keys = ",".join(str(a) for a in actions[0::2])
        self.log.say(f"notify app={app} id={nid} replaces={int(replaces)} urgency={urgency} "
                     f"timeout={int(timeout)} actions={keys} summary={summary} body={body}")
        return dbus.UInt32(nid)

    @dbus.service.method(NOTIFICATIONS, in_signature="u")
    def CloseNotification(self, nid):
        self.log.say(f"close {int(nid)}")
        self.NotificationClosed(nid, dbus.UInt32(3))

    @dbus.service.method(NOTIFICATIONS, out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body"]

    @dbus.service.method(NOTIFICATIONS, out_signature="ssss")
    def GetServerInformation(self):
        return ("kelvane-test-host", "kelvane", "1", "1.2")

    @dbus.service.signal(NOTIFICATIONS, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NOTIFICATIONS, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass


class Control(dbus.service.Object):
    def __init__(self, bus, notifications):
        super().__init__(bus, "/TestHost")
        self.notifications = notifications

    @dbus.service.method("org.kelvane.TestHost", in_signature="us")
    def Invoke(self, nid, key):
        self.notifications.ActionInvoked(nid, key)

    @dbus.service.method("org.kelvane.TestHost", in_signature="u")
    def Expire(self, nid):
        self.notifications.NotificationClosed(nid, dbus.UInt32(1))


def main():
    DBusGMainLoop(set_as_default=True)
    log = Log(sys.argv[1])
    tray_only = "--tray-only" in sys.argv[2:]
    bus = dbus.SessionBus()
    watcher = Watcher(bus, log)
    notifications = Notifications(bus, log)
    control = Control(bus, notifications)
    # Names last: a client that sees them finds the objects in place.
    owned = (WATCHER,) if tray_only else (WATCHER, NOTIFICATIONS)
    names = [dbus.service.BusName(name, bus, do_not_queue=True) for name in owned]
    log.say("host ready")
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del names, watcher, control


if __name__ == "__main__":
    main()
