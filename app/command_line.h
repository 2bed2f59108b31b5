// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command options: answers for a terminal or a script, given without a display, without
// the single-instance lock and without reading or writing the settings file.
//
//   kelvane --status [--json]      the window's figures as text, or one JSON object
//   kelvane --free N               a release of N MB (the window's amount) without a window
//   kelvane --autostart [on|off]   the login start in the tray; alone prints on or off
//   kelvane --help | --version
//
// A command line that names none of them starts the program, read the classic way: "/tray"
// anywhere, in any case, starts it in the tray, and every other word is ignored, so that no
// existing shortcut breaks. "--tray" is a synonym of "/tray".
namespace cli {

enum Status : int {
    Done = 0,
    Failed = 1, // a runtime failure: no memory figures, a file that cannot be written
    BadUsage = 2, // an unknown option beside a command option, a bad value, a bad combination
};

// Prints "kelvane: <message>" on standard error and returns `status`.
int complain(const QString &message, int status);

// Runs the command option the arguments name and returns its exit status; empty when they
// name none and the program is to start. Makes its own QCoreApplication.
std::optional<int> runCommand(int &argc, char **argv);

// The command line the window reads its start options from: the arguments joined by blanks,
// with "--tray" also read as "/tray".
QString startCommandLine(const QStringList &arguments);

} // namespace cli
