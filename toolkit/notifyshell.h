// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/notifyicondata.h"

#include <cstdint>
#include <vector>

namespace toolkit {

// The notification-area service: adds, changes and removes the icon that a record names by
// its owner window (hWnd) and uID, and sends the icon's notifications back to that window
// with the record's callback message.
class NotifyShell
{
public:
    virtual ~NotifyShell();

    // `message` is NIM_ADD, NIM_MODIFY, NIM_DELETE or NIM_SETVERSION. NIM_ADD and NIM_MODIFY
    // apply the fields that uFlags names. Returns false when the shell refused the call
    // (unknown operation, no such icon, icon already added, no such window).
    virtual bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record) = 0;

    // False when an icon could never appear, so a window hidden in the tray would be out of
    // reach (Wayland without a tray host). X11 always has one: an XEmbed tray may come later.
    virtual bool canShowIcons() { return true; }
};

// Does nothing but remember every call; stands in for the shell in tests.
class RecordingNotifyShell final : public NotifyShell
{
public:
    struct Call
    {
        std::uint32_t message = 0;
        NotifyIconData record{};
    };

    bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record) override;

    std::vector<std::uint32_t> messages() const;
    void clear() { calls.clear(); }

    bool canShowIcons() override { return trayAvailable; }

    std::vector<Call> calls;
    bool answer = true; // what every call returns
    bool trayAvailable = true;
};

// The program's shell: the desktop's notification area (see QtNotifyShell). Lives as long as
// the application object; without one, a shell that refuses everything.
NotifyShell &defaultNotifyShell();

} // namespace toolkit
