// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace toolkit {

// A label with a transparent background that reports clicks (press and release over it
// with the left button).
class Label final : public QLabel
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace toolkit
