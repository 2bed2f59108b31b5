// SPDX-License-Identifier: GPL-3.0-or-later
// --free from a Windows console is not there yet: the program has no console of its own to
// report its steps to.
#include "app/command_line.h"
#include "app/commands.h"

namespace cli {

int freeMemory(int)
{
    return complain(QStringLiteral("--free is not available on Windows; use the window's Free button"), Failed);
}

} // namespace cli
