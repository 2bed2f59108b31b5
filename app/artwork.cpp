// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

#include <QColor>
#include <QPainter>

#include <cmath>

namespace {

QColor mix(QColor from, QColor to, double t)
{
    auto lerp = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return QColor(lerp(from.red(), to.red()), lerp(from.green(), to.green()), lerp(from.blue(), to.blue()));
}

// Fills rows first..last with a straight run from one colour to another.
void ramp(QImage &image, int first, int last, QColor from, QColor to)
{
    for (int row = first; row <= last; ++row) {
        const double t = last == first ? 1.0 : double(row - first) / (last - first);
        const QColor c = mix(from, to, t);
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, row, c);
    }
}

} // namespace

QImage programIcon()
{
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, false);

    const QColor outline(0, 0, 0);
    // Board.
    p.setPen(outline);
    p.setBrush(QColor(184, 184, 184));
    p.drawRect(1, 7, 29, 15);
    p.setPen(QColor(232, 232, 232));
    p.drawLine(2, 8, 29, 8);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(2, 21, 29, 21);
    // Three memory chips.
    for (int x : {4, 13, 22}) {
        p.setPen(outline);
        p.setBrush(QColor(72, 72, 72));
        p.drawRect(x, 11, 6, 7);
        p.setPen(QColor(112, 112, 112));
        p.drawLine(x + 1, 12, x + 5, 12);
    }
    // The row of pins, with the key notch left of the middle.
    for (int x = 3; x <= 28; x += 3) {
        if (x == 12)
            continue;
        p.fillRect(x, 23, 2, 4, QColor(150, 150, 150));
        p.fillRect(x, 27, 2, 1, outline);
    }
    p.end();
    // A handful of flat colours, well within a 256-colour palette.
    return icon;
}

QImage bottomStrip()
{
    QImage strip(4, 56, QImage::Format_RGB32);
    ramp(strip, 0, 4, QColor(255, 255, 255), QColor(244, 247, 252));
    ramp(strip, 4, 25, QColor(244, 247, 252), QColor(151, 174, 214));
    ramp(strip, 25, 38, QColor(151, 174, 214), QColor(209, 231, 255));
    ramp(strip, 39, 39, QColor(209, 231, 255), QColor(209, 231, 255));
    ramp(strip, 39, 46, QColor(209, 231, 255), QColor(171, 183, 214));
    ramp(strip, 47, 47, QColor(127, 144, 181), QColor(127, 144, 181));
    ramp(strip, 48, 54, QColor(209, 215, 241), QColor(230, 234, 246));
    ramp(strip, 55, 55, QColor(126, 144, 180), QColor(126, 144, 180));
    // Row 31 is a dither of two neighbouring blues.
    for (int x = 0; x < strip.width(); ++x)
        strip.setPixelColor(x, 31, x % 2 == 0 ? QColor(182, 214, 230) : QColor(188, 207, 238));
    return strip;
}
