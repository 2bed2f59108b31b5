// SPDX-License-Identifier: GPL-3.0-or-later
// Windows has its desktop wherever a program can start, no address-space limit to check and
// no X connection to tune. The end of the user's session comes to the program's windows as
// messages, which Qt handles itself; a console program gets Ctrl-C and the console's closing
// as console events.
#include "toolkit/display.h"

#include <csignal>

#include <windows.h>

namespace toolkit {
namespace {

void (*stopHandler)(int) = nullptr;

// Runs on a thread of its own that the system starts for each event. Ctrl-C and Ctrl-Break
// stand for SIGINT, the console's closing, the logoff and the shutdown for SIGTERM; after
// those three the system ends the program anyway once this returns (what it had taken goes
// with it).
BOOL WINAPI onConsoleEvent(DWORD event)
{
    stopHandler(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM);
    return TRUE;
}

} // namespace

bool displayAvailable(QString *) { return true; }

bool addressSpaceForStart(QString *) { return true; }

FramesOverConnection::FramesOverConnection() = default;

FramesOverConnection::~FramesOverConnection() = default;

void closeOnTerminationSignals(QWidget *) {}

void onTerminationSignals(void (*handler)(int))
{
    stopHandler = handler;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

} // namespace toolkit
