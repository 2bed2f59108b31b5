// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

class QWidget;

namespace toolkit {

// Twips per pixel of the primary screen: 1440 / logical DPI, so 15 at 96 DPI.
// Without a screen (early start-up, some test set-ups) 96 DPI is assumed.
double twipsPerPixelX();
double twipsPerPixelY();

// A horizontal or vertical figure in twips as pixels at tpp twips per pixel. A result
// within a thousandth of a whole pixel is that whole pixel: twips carried in single
// precision (as mouse coordinates are) then come back exactly to the pixel they were made
// from at any screen density.
double pixelsFromTwips(double twips, double tpp);

// Twips to whole pixels, rounded to the nearest pixel.
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);

// Screen size in twips (the primary screen's available geometry).
double screenWidthTwips();
double screenHeightTwips();

// Moves a control within its container, all figures in twips like the form's layout.
// A missing top, width or height keeps the control's current one. Inside a picture
// box the position is relative to its inner area (inside its border).
void moveTwips(QWidget *control, double left, std::optional<double> top = {}, std::optional<double> width = {},
               std::optional<double> height = {});

double leftTwips(const QWidget *control);
double topTwips(const QWidget *control);
double widthTwips(const QWidget *control);
double heightTwips(const QWidget *control);

} // namespace toolkit
