// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMouseEvent>
#include <QWidget>

namespace toolkit {

// A click of the left button: a press on a widget and its release over the same widget. Both
// events are taken, so the press and its release do not also click the widget's container.
class Click
{
public:
    void press(QMouseEvent *event)
    {
        m_pressed = event->button() == Qt::LeftButton;
        event->accept();
    }
    // True when this release ends a click on `widget`.
    bool release(QMouseEvent *event, const QWidget &widget)
    {
        const bool click
            = m_pressed && event->button() == Qt::LeftButton && widget.rect().contains(event->position().toPoint());
        m_pressed = false;
        event->accept();
        return click;
    }

private:
    bool m_pressed = false;
};

} // namespace toolkit
