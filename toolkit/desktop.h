// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

namespace toolkit {

// Opens `address` (a web or file:// address) with the desktop's default handler. False when
// the address is empty or invalid or no handler could be started; nothing else happens then.
bool shellOpen(const QString &address);
// The address shellOpen hands to the desktop: `address` trimmed, strictly valid and with a
// scheme; empty for anything else.
std::optional<QUrl> openableAddress(const QString &address);

// Brings `window` to the front and gives it the keyboard focus, as far as the window manager
// allows; nothing for a hidden window.
void setForegroundWindow(QWidget *window);

// False on Wayland: the compositor minimises a window without telling the program.
bool windowManagerReportsMinimise();

} // namespace toolkit
