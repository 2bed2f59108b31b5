// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The program icon: a 32 x 32 grey memory module with a black outline and a row of pins
// along its lower edge, in at most 256 colours on a transparent background.
QImage programIcon();

// The 4 x 56 bitmap behind the window's glossy bottom strip, built from its gradient stops.
QImage bottomStrip();
