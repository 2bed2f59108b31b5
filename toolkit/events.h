// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace toolkit {

// Lets every pending event run (input, timers, tray messages) and returns.
// Handlers called from here may re-enter the caller.
void doEvents();

} // namespace toolkit
