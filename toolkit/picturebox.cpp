// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/picturebox.h"

#include <QMouseEvent>
#include <QPainter>

namespace toolkit {

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setBorder(bool flat)
{
    m_border = flat;
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
    ensureImage();
    QPainter painter(&m_image);
    painter.setPen(QPen(color, 0));
    // QPainter's cosmetic non-antialiased lines include both end points.
    painter.drawLine(from.toPoint(), to.toPoint());
    update();
}

void PictureBox::pset(QPointF at, const QColor &color)
{
    ensureImage();
    const QPoint p = at.toPoint();
    if (m_image.rect().contains(p))
        m_image.setPixelColor(p, color);
    update();
}

void PictureBox::paintPicture(const QImage &picture, QRectF target, QRectF source)
{
    ensureImage();
    QPainter painter(&m_image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, picture, source);
    update();
}

const QImage &PictureBox::image()
{
    ensureImage();
    return m_image;
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_border) {
        painter.setPen(QColor(0, 0, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    const QRect inner = innerRect();
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
    // Taken here so the press and its release do not also click the container.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

} // namespace toolkit
