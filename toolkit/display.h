// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace toolkit {

// Whether the display Qt would use can be reached, checked before Qt tries (and aborts) so
// the program can say so in one line. Qt's own order is followed: the platforms named in
// QT_QPA_PLATFORM, else Wayland when WAYLAND_DISPLAY is set, then X11; an X11 or Wayland
// candidate must accept a real connection (an X server that refuses the client's cookie
// fails here) and answer it within 3 seconds, other platforms (offscreen and the like) are
// trusted. On false, why says what failed, for the first candidate. Made before the toolkit
// starts: the check asks from a child process it can abandon.
bool displayAvailable(QString *why);

// Whether the address-space limit (RLIMIT_AS) leaves room for the toolkit to start its
// threads and windows. On false, why says so.
bool addressSpaceForStart(QString *why);

// For its lifetime, asks Qt's X11 platform to send window contents over the X connection
// instead of through shared memory, unless QT_XCB_NO_MITSHM is set already. The windows are
// small: with shared memory Qt waits for the server to finish reading a frame before it
// paints over it again, a round trip at every graph tick and every step of a release that
// costs more than sending the few kilobytes. Made before the application object and dropped
// once that exists (the platform reads the setting when it connects), so programs started
// from here inherit the user's environment as it was.
class FramesOverConnection
{
public:
    FramesOverConnection();
    ~FramesOverConnection();
    FramesOverConnection(const FramesOverConnection &) = delete;
    FramesOverConnection &operator=(const FramesOverConnection &) = delete;

private:
    bool m_set = false;
};

// Closes window (as its close box would) when SIGTERM, SIGINT or SIGHUP arrives, so the
// program shuts down through its normal close handling.
void closeOnTerminationSignals(QWidget *window);

// Calls `handler` (which must be async-signal-safe) when SIGTERM, SIGINT or SIGHUP arrives;
// a system call the signal interrupts goes on. On Windows: when Ctrl-C or Ctrl-Break (as
// SIGINT) or the console's closing (as SIGTERM) reaches a console program, on a thread of
// its own.
void onTerminationSignals(void (*handler)(int));

} // namespace toolkit
