// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/events.h"

#include <QCoreApplication>

namespace toolkit {

void doEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

} // namespace toolkit
