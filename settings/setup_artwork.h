// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

// The setup dialog's picture: a 32 x 32 memory chip in relief (light top and left edges,
// dark bottom and right) standing on a row of gold pins, in a handful of flat colours on a
// transparent background. Drawn at its own size; it is never scaled.
QImage setupChipIcon();
