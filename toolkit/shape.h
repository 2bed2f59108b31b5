// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

namespace toolkit {

// Static decoration: a rounded rectangle with a one-pixel outline and a solid fill.
class Shape final : public QWidget
{
    Q_OBJECT
public:
    Shape(QColor outline, QColor fill, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_outline;
    QColor m_fill;
};

} // namespace toolkit
