#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The menu that the tray item registered last with the session bus's StatusNotifierWatcher
exports, as a tray host reads it: "Menu=PATH" (the item's Menu property), then, when the path
is a com.canonical.dbusmenu, one line per visible top-level item from its GetLayout: the label
(mnemonics written with "_"), or "separator"; a checkable item ends in " [x]" or " [ ]", a
disabled one in " (disabled)". Status 1 when no item is registered."""
import sys

import dbus

bus = dbus.SessionBus()
watcher = bus.get_object('org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher')
items = watcher.Get('org.kde.StatusNotifierWatcher', 'RegisteredStatusNotifierItems',
                    dbus_interface=dbus.PROPERTIES_IFACE)
if not items:
    sys.exit(1)
# "BUS_NAME/PATH", or a bare bus name for an item at the usual path.
name, _, path = str(items[-1]).partition('/')
item = bus.get_object(name, '/' + path if path else '/StatusNotifierItem')
menu_path = str(item.Get('org.kde.StatusNotifierItem', 'Menu', dbus_interface=dbus.PROPERTIES_IFACE))
print(f'Menu={menu_path}')
if menu_path == '/NO_DBUSMENU':
    sys.exit(0)

menu = dbus.Interface(bus.get_object(name, menu_path), 'com.canonical.dbusmenu')
_revision, (_root, _properties, children) = menu.GetLayout(0, -1, dbus.Array([], signature='s'))
for _id, properties, _children in children:
    if not properties.get('visible', True):
        continue
    if properties.get('type') == 'separator':
        print('separator')
        continue
    line = str(properties.get('label', ''))
    if properties.get('toggle-type') == 'checkmark':
        line += ' [x]' if properties.get('toggle-state') == 1 else ' [ ]'
    if not properties.get('enabled', True):
        line += ' (disabled)'
    print(line)
