// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

class QIcon;
class QWidget;

// 32-bit handles for windows and icons, the form in which the notification-area record
// carries them. A handle is never 0 (0 stands for "none") and is never handed out twice
// in one run, so a stale handle resolves to nothing rather than to another object.
// GUI thread only.
namespace toolkit::handles {

// The window's handle, the same one for as long as the window lives; 0 for nullptr.
std::uint32_t forWindow(const QWidget *window);
// The window behind a handle; nullptr for 0, an unknown handle, an icon's handle or a
// window that has been destroyed.
QWidget *window(std::uint32_t handle);

// A handle for the icon's contents: copies of one QIcon share a handle. 0 for a null icon.
// The registry keeps a copy of every icon it hands out a handle for.
std::uint32_t forIcon(const QIcon &icon);
// The icon behind a handle; a null icon for 0, an unknown handle or a window's handle.
QIcon icon(std::uint32_t handle);

} // namespace toolkit::handles
