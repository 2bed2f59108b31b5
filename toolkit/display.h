// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace toolkit {

// Whether a graphical display can be reached, checked before Qt tries (and aborts) so the
// program can say so in one line. An explicit QT_QPA_PLATFORM is trusted; otherwise a
// Wayland socket or a local X server socket must answer. A remote X display is trusted.
// On false, why says what is missing.
bool displayAvailable(QString *why);

// Closes window (as its close box would) when SIGTERM, SIGINT or SIGHUP arrives, so the
// program shuts down through its normal close handling.
void closeOnTerminationSignals(QWidget *window);

} // namespace toolkit
