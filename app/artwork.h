// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>

#include <array>

// The program icon: a grey memory module with a black outline and a row of pins along its
// lower edge, in a few flat colours on a transparent background, drawn for `size` pixels
// square with every edge on a whole pixel. The window shows it at 32 px.
QImage programIcon(int size = 32);

// The sizes installed into the icon theme.
inline constexpr std::array programIconSizes{16, 22, 24, 32, 48, 64, 128, 256};

// The program icon as a QIcon that draws it afresh at each size asked for (tray, title bar,
// task switcher).
QIcon programIconSet();

// The 4 x 56 bitmap behind the window's glossy bottom strip, built from its gradient stops.
QImage bottomStrip();
