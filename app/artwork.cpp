// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

#include <QColor>
#include <QIconEngine>
#include <QPainter>

#include <algorithm>
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

namespace {

// The icon is laid out on a 32-unit grid and drawn at each size with every edge on a whole
// pixel, so it stays sharp from 16 px up; at 32 px it is the classic bitmap pixel for pixel.
class IconLayout
{
public:
    explicit IconLayout(int size) : m_size(size), m_line(std::max(1, at(1))) {}

    // A grid coordinate in pixels, and its mirror image from the right edge.
    int at(double units) const { return static_cast<int>(std::lround(units * m_size / 32.0)); }
    int fromRight(double units) const { return m_size - at(units); }
    int line() const { return m_line; }

private:
    int m_size;
    int m_line;
};

void fill(QPainter &p, int left, int top, int right, int bottom, QColor colour)
{
    if (right > left && bottom > top)
        p.fillRect(left, top, right - left, bottom - top, colour);
}

// A flat box with an outline `line` pixels wide; the rectangle's edges are exclusive.
QRect outlinedBox(QPainter &p, int left, int top, int right, int bottom, int line, QColor outline, QColor face)
{
    fill(p, left, top, right, bottom, outline);
    fill(p, left + line, top + line, right - line, bottom - line, face);
    return QRect(QPoint(left + line, top + line), QPoint(right - line - 1, bottom - line - 1));
}

} // namespace

QImage programIcon(int size)
{
    size = std::clamp(size, 1, 1024);
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    const IconLayout g(size);
    const int line = g.line();
    const QColor outline(0, 0, 0);

    // Board, with a light top edge and a dark bottom edge inside its outline.
    const QRect board = outlinedBox(p, g.at(1), g.at(7), g.fromRight(1), g.at(23), line, outline, QColor(184, 184, 184));
    if (board.height() >= 3 * line) {
        fill(p, board.left(), board.top(), board.right() + 1, board.top() + line, QColor(232, 232, 232));
        fill(p, board.left(), board.bottom() + 1 - line, board.right() + 1, board.bottom() + 1, QColor(128, 128, 128));
    }

    // Three memory chips of one width, spread over the board with at least a pixel of board
    // on either side.
    const int gap = std::max(1, g.at(2));
    int chip = g.at(7);
    while (chip > 2 && 3 * chip + 2 * gap > board.width() - 2)
        --chip;
    const int chipsLeft = board.left() + (board.width() - (3 * chip + 2 * gap) + 1) / 2;
    const int chipTop = g.at(11);
    const int chipBottom = std::max(chipTop + 3, g.at(19));
    for (int i = 0; i < 3; ++i) {
        const int left = chipsLeft + i * (chip + gap);
        const QRect face = outlinedBox(p, left, chipTop, left + chip, chipBottom, line, outline, QColor(72, 72, 72));
        if (face.height() >= 2 * line)
            fill(p, face.left(), face.top(), face.right() + 1, face.top() + line, QColor(112, 112, 112));
    }

    // The row of pins below the board, each tipped with the outline colour, and the key notch
    // a third of the way along.
    const int pitch = std::max(2, g.at(3));
    const int pin = std::min(pitch - 1, std::max(1, g.at(2)));
    const int span = g.fromRight(3) - g.at(3);
    const int pins = (span + pitch - pin) / pitch;
    const int pinsLeft = g.at(3) + (span - (pins * pitch - (pitch - pin))) / 2;
    const int pinTop = board.bottom() + 1 + line;
    const int pinBottom = std::max(pinTop + 1, g.at(27));
    for (int i = 0; i < pins; ++i) {
        if (i == pins / 3)
            continue;
        const int left = pinsLeft + i * pitch;
        fill(p, left, pinTop, left + pin, pinBottom, QColor(150, 150, 150));
        fill(p, left, pinBottom, left + pin, pinBottom + line, outline);
    }
    p.end();
    // A handful of flat colours, well within a 256-colour palette.
    return icon;
}

namespace {

// Draws the program icon afresh at whatever size is asked for, so a tray or a menu that wants
// 20 or 40 pixels gets a sharp picture instead of a scaled one.
class ProgramIconEngine : public QIconEngine
{
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(rect.width(), rect.height());
        const QRect square(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side, side);
        painter->drawImage(square, programIcon(side));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(0, 0), size), QIcon::Normal, QIcon::Off);
        return picture;
    }

    // The sizes offered up front: the window's icon property carries every one of them (X11
    // window managers and task bars pick from 16 to 64 px), so the large theme sizes, 0.3 MB
    // of pixels, stay out; any size is still drawn when asked for.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : programIconSizes)
            if (side <= 64)
                sizes.append(QSize(side, side));
        return sizes;
    }

    QString key() const override { return QStringLiteral("kelvane-program-icon"); }
    QIconEngine *clone() const override { return new ProgramIconEngine; }
};

} // namespace

QIcon programIconSet() { return QIcon(new ProgramIconEngine); }

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
