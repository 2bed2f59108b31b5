#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A desktop's side of the session bus, for the end-to-end tests: a tray host
# (org.kde.StatusNotifierWatcher, with a registered host) and a notification server
# (org.freedesktop.Notifications). It appends one line per event to the file named on its
# command line:
#     registered <service> <sender>     an item registered
#     unregistered <service>            its owner left the bus
#     notify app=<a> id=<n> replaces=<r> urgency=<u> timeout=<t> actions=<k,...> summary=<s> body=<b>
#     close <id>                        CloseNotification
# and offers the test org.kelvane.TestHost beside them: Invoke(id, key) emits ActionInvoked,
# Expire(id) emits NotificationClosed(id, 1). With --tray-only it is a tray host and no
# notification server. The system's dbus and gi modules: /usr/bin/python3.
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
NOTIFICATIONS = "org.freedesktop.Notifications"

# Qt reads IsStatusNotifierHostRegistered through introspection: without the property
# listed here it falls back to the XEmbed tray.
WATCHER_XML = f"""<node><interface name="{WATCHER}">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
</interface></node>"""

log_file = open(sys.argv[1], "a", encoding="utf-8")


def say(line):
    log_file.write(line.replace("\n", "\\n") + "\n")
    log_file.flush()


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.items = {}
        bus.add_signal_receiver(self.owner_changed, "NameOwnerChanged", "org.freedesktop.DBus")

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return WATCHER_XML

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return {"IsStatusNotifierHostRegistered": dbus.Boolean(True)}[name]

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        # An item names its bus name, or only its object path on the sender's connection.
        name = service if not service.startswith("/") else sender + service
        self.items[name] = sender
        say(f"registered {name} {sender}")

    def owner_changed(self, name, old, new):
        for item, sender in list(self.items.items()):
            if not new and name in (item, sender):
                del self.items[item]
                say(f"unregistered {item}")


class Notifications(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.last = 0

    @dbus.service.method(NOTIFICATIONS, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.last += 1
        nid = int(replaces) or self.last
        urgency = int(hints["urgency"]) if "urgency" in hints else "-"
        keys = ",".join(str(a) for a in actions[0::2])
        say(f"notify app={app} id={nid} replaces={int(replaces)} urgency={urgency} "
            f"timeout={int(timeout)} actions={keys} summary={summary} body={body}")
        return dbus.UInt32(nid)

    @dbus.service.method(NOTIFICATIONS, in_signature="u")
    def CloseNotification(self, nid):
        say(f"close {int(nid)}")
        self.NotificationClosed(nid, dbus.UInt32(3))

    @dbus.service.signal(NOTIFICATIONS, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NOTIFICATIONS, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.method("org.kelvane.TestHost", in_signature="us")
    def Invoke(self, nid, key):
        self.ActionInvoked(nid, key)

    @dbus.service.method("org.kelvane.TestHost", in_signature="u")
    def Expire(self, nid):
        self.NotificationClosed(nid, dbus.UInt32(1))


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher, notifications = Watcher(bus), Notifications(bus)
    # Names last: a client that sees them finds the objects in place.
    owned = (WATCHER,) if "--tray-only" in sys.argv[2:] else (WATCHER, NOTIFICATIONS)
    names = [dbus.service.BusName(name, bus, do_not_queue=True) for name in owned]
    say("host ready")
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del names, watcher, notifications


if __name__ == "__main__":
    main()
