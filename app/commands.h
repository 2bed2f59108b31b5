// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The command options behind cli::runCommand, each returning its exit status (cli::Status).
namespace cli {

// --status: the status line, the tray tool tip (two lines) and the graph's tool tip, one per
// line; with `json` one object with the byte counts and the usage percentages.
int printStatus(bool json);

// --free N: a release of `megabytes` blocks through the window's engine and its safety, with
// progress on standard output. SIGINT, SIGTERM and SIGHUP stop it after the current block;
// everything taken is given back before it returns.
int freeMemory(int megabytes);

// --autostart [on|off]: `state` empty prints "on" or "off".
int autostartCommand(const QString &state);

} // namespace cli
