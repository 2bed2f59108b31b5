// SPDX-License-Identifier: GPL-3.0-or-later
// Windows has its desktop wherever a program can start, no address-space limit to check and
// no X connection to tune. The end of the user's session comes to the program's windows as
// messages, which Qt handles itself.
#include "toolkit/display.h"

namespace toolkit {

bool displayAvailable(QString *) { return true; }

bool addressSpaceForStart(QString *) { return true; }

FramesOverConnection::FramesOverConnection() = default;

FramesOverConnection::~FramesOverConnection() = default;

void closeOnTerminationSignals(QWidget *) {}

void onTerminationSignals(void (*)(int)) {}

} // namespace toolkit
