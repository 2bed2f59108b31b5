// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/shape.h"

#include <QPainter>

namespace toolkit {

Shape::Shape(QColor outline, QColor fill, QWidget *parent)
    : QWidget(parent)
    , m_outline(outline)
    , m_fill(fill)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_outline, 1.0));
    painter.setBrush(m_fill);
    // A corner radius of a sixth of the shorter side, as the classic rounded shape draws it.
    const qreal radius = std::min(width(), height()) / 6.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

} // namespace toolkit
