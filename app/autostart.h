// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The login start: an XDG autostart entry, $XDG_CONFIG_HOME/autostart/kelvane.desktop
// (~/.config when the variable is unset or relative), that starts the program in the tray.
namespace autostart {

// Where the entry lives.
QString entryPath();

// `argument` as one argument of a desktop entry's Exec key: quoted when it holds a reserved
// character, with '%' doubled, and with the escapes of a string value applied on top.
QString execArgument(const QString &argument);

// The desktop entry that starts `program` (an absolute path) with --tray.
QByteArray entry(const QString &program);

// True when the entry exists and is not switched off (Hidden=true, or
// X-GNOME-Autostart-enabled=false as desktop settings tools write it).
bool isOn();

// Writes the entry for `program` in one step. False when it cannot be written, with the
// reason in `why` ("/home/u/.config/autostart is not a folder", "permission denied").
bool turnOn(const QString &program, QString *why = nullptr);

// Removes the entry; true when it is gone, also when there was none. False with the reason
// in `why` otherwise.
bool turnOff(QString *why = nullptr);

} // namespace autostart
