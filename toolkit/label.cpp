// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/label.h"

#include <QMouseEvent>

namespace toolkit {

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
}

void Label::mousePressEvent(QMouseEvent *event)
{
    // Taken here so the press and its release do not also click the container.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Label::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

} // namespace toolkit
