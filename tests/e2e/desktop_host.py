#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A notification server logging a line per call; org.kelvane.TestHost's Invoke and Expire act as the desktop.
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NOTIFICATIONS = "org.freedesktop.Notifications"

log_file = open(sys.argv[1], "a", encoding="utf-8")


def say(line):
    log_file.write(line.replace("\n", "\\n") + "\n")
    log_file.flush()


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
    notifications = Notifications(bus)
    # The name last: a client that sees it finds the object in place.
    name = dbus.service.BusName(NOTIFICATIONS, bus, do_not_queue=True)
    say("host ready")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
