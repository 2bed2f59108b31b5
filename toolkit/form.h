// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

class QShortcut;

namespace toolkit {

// A top-level window laid out in twips, with the services the program's windows share:
// a fixed client size, the window state as a number, a cancel button that Escape clicks,
// and a MouseMove event whose coordinates are in the form's scale (twips).
class Form : public QWidget
{
    Q_OBJECT
public:
    // Window state numbers.
    enum State { Normal = 0, Minimized = 1, Maximized = 2 };
    // Scale modes understood by scaleX().
    enum ScaleMode { Twips = 1, Pixels = 3 };

    explicit Form(QWidget *parent = nullptr);
    ~Form() override;

    // Fixes the client area, in twips; the user cannot resize the window.
    void setFixedClientSizeTwips(double width, double height);
    // Centres the window on the primary screen (before it is first shown, or at any time).
    void centreOnScreen();

    int windowStateNumber() const;
    void setWindowStateNumber(int state);

    // The button that Escape clicks while the window is active; nullptr for none.
    void setCancelButton(QAbstractButton *button);
    QAbstractButton *cancelButton() const { return m_cancelButton; }

    ScaleMode scaleMode() const { return Twips; }
    // Converts a horizontal figure between scale modes (twips and pixels).
    float scaleX(float value, ScaleMode from, ScaleMode to) const;

    // Raises MouseMove as the window would for a mouse movement at (x, y) pixels; the tray
    // shell uses this to hand notification codes to the owner window.
    void raiseMouseMove(short button, short shift, double xPixels, double yPixels);

signals:
    // Button: 1 left, 2 right, 4 middle (or'ed). X and Y in twips.
    void MouseMove(short &Button, short Shift, float X, float Y);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPointer<QAbstractButton> m_cancelButton;
    QShortcut *m_escape = nullptr;
};

} // namespace toolkit
