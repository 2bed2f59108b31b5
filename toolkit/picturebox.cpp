// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/picturebox.h"

#include <QMouseEvent>
#include <QPainter>

#include <cstring>

namespace toolkit {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PictureBox::~PictureBox() = default;

QPainter &PictureBox::painter()
{
    ensureImage();
    if (!m_painter)
        m_painter = std::make_unique<QPainter>(&m_image);
    return *m_painter;
}

void PictureBox::endDrawing() { m_painter.reset(); }

void PictureBox::setBorder(bool flat)
{
    m_border = flat;
    endDrawing();
    m_image = {};
    update();
}

QRect PictureBox::innerRect() const { return m_border ? rect().adjusted(1, 1, -1, -1) : rect(); }

void PictureBox::setBackColor(const QColor &color)
{
    m_backColor = color;
    if (m_image.isNull() && m_picture.isNull())
        update();
}

void PictureBox::ensureImage()
{
    const QSize size = innerRect().size().expandedTo({1, 1});
    if (m_image.size() == size)
        return;
    endDrawing();
    QImage fresh(size, QImage::Format_RGB32);
    fresh.fill(m_backColor);
    if (!m_picture.isNull()) {
        QPainter painter(&fresh);
        painter.drawImage(0, 0, m_picture);
    }
    m_image = std::move(fresh);
}

void PictureBox::line(QPointF from, QPointF to, const QColor &color)
{
    QPainter &p = painter();
    p.setPen(QPen(color, 0));
    // QPainter's cosmetic non-antialiased lines include both end points.
    p.drawLine(from.toPoint(), to.toPoint());
    update(innerRect());
}

void PictureBox::pset(QPointF at, const QColor &color)
{
    ensureImage();
    const QPoint point = at.toPoint();
    if (m_image.rect().contains(point)) {
        // The pixel takes the colour as it is, with no blending, on the painter already open.
        QPainter &p = painter();
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.setPen(QPen(color, 0));
        p.drawPoint(point);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    update(innerRect());
}

void PictureBox::scrollLeft()
{
    ensureImage();
    // The painter draws straight into these rows: the image is not shared while it is open,
    // so scanLine() writes in place.
    const qsizetype row = static_cast<qsizetype>(m_image.width() - 1) * 4;
    for (int y = 0; y < m_image.height(); ++y) {
        uchar *line = m_image.scanLine(y);
        std::memmove(line, line + 4, static_cast<std::size_t>(row));
    }
    update(innerRect());
}

const QImage &PictureBox::image()
{
    ensureImage();
    return m_image;
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update(innerRect());
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect inner = innerRect();
    // Drawing on the image repaints only the inner area; the border is drawn when it is exposed.
    // Four one-pixel fills set the same pixels as an outlined rectangle, at a fraction of the cost.
    if (m_border && !inner.contains(event->rect())) {
        const QRect r = rect();
        const QColor black(0, 0, 0);
        painter.fillRect(r.left(), r.top(), r.width(), 1, black);
        painter.fillRect(r.left(), r.bottom(), r.width(), 1, black);
        painter.fillRect(r.left(), r.top(), 1, r.height(), black);
        painter.fillRect(r.right(), r.top(), 1, r.height(), black);
    }
    if (!m_image.isNull())
        painter.drawImage(inner.topLeft(), m_image);
    else if (!m_picture.isNull())
        painter.drawImage(inner.topLeft(), m_picture);
    else
        painter.fillRect(inner, m_backColor);
}

void PictureBox::resizeEvent(QResizeEvent *)
{
    if (!m_image.isNull())
        ensureImage();
}

void PictureBox::mousePressEvent(QMouseEvent *event)
{
    m_click.press(event);
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_click.release(event, *this))
        emit clicked();
}

} // namespace toolkit
