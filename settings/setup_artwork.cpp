// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/setup_artwork.h"

#include <QColor>
#include <QPainter>

QImage setupChipIcon()
{
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing, false);

    // The pins first, so the body's lower edge overlaps their roots. Each pin is lit on its
    // left like the body, with a grey tinned tip.
    for (int x = 5; x <= 26; x += 3) {
        p.fillRect(x, 23, 2, 5, QColor(212, 170, 40));
        p.fillRect(x, 23, 1, 5, QColor(250, 222, 110));
        p.fillRect(x, 28, 2, 2, QColor(168, 168, 168));
        p.fillRect(x + 1, 28, 1, 2, QColor(104, 104, 104));
    }

    // The package, with a two-pixel bevel: light top and left, dark bottom and right.
    const QRect body(2, 5, 28, 19);
    p.fillRect(body, QColor(64, 64, 72));
    p.setPen(QColor(232, 232, 240));
    p.drawLine(body.left(), body.top(), body.right() - 1, body.top());
    p.drawLine(body.left(), body.top(), body.left(), body.bottom() - 1);
    p.setPen(QColor(136, 136, 148));
    p.drawLine(body.left() + 1, body.top() + 1, body.right() - 2, body.top() + 1);
    p.drawLine(body.left() + 1, body.top() + 1, body.left() + 1, body.bottom() - 2);
    p.setPen(QColor(0, 0, 0));
    p.drawLine(body.left(), body.bottom(), body.right(), body.bottom());
    p.drawLine(body.right(), body.top(), body.right(), body.bottom());
    p.setPen(QColor(32, 32, 36));
    p.drawLine(body.left() + 1, body.bottom() - 1, body.right() - 1, body.bottom() - 1);
    p.drawLine(body.right() - 1, body.top() + 1, body.right() - 1, body.bottom() - 1);

    // The pin-1 dimple, sunk into the top face: dark above and left, light below and right.
    p.fillRect(6, 9, 3, 3, QColor(40, 40, 46));
    p.fillRect(7, 10, 2, 2, QColor(96, 96, 108));
    p.fillRect(8, 11, 1, 1, QColor(150, 150, 160));

    // The printed marking: a pale label with two lines of "text".
    p.fillRect(12, 10, 14, 9, QColor(200, 200, 208));
    p.fillRect(13, 12, 10, 1, QColor(64, 64, 72));
    p.fillRect(13, 15, 7, 1, QColor(64, 64, 72));
    p.end();
    return icon;
}
