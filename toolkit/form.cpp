// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/form.h"

#include "toolkit/twips.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>

namespace toolkit {
namespace {

short buttonsOf(Qt::MouseButtons buttons)
{
    short b = 0;
    if (buttons & Qt::LeftButton)
        b |= 1;
    if (buttons & Qt::RightButton)
        b |= 2;
    if (buttons & Qt::MiddleButton)
        b |= 4;
    return b;
}

short shiftOf(Qt::KeyboardModifiers mods)
{
    short s = 0;
    if (mods & Qt::ShiftModifier)
        s |= 1;
    if (mods & Qt::ControlModifier)
        s |= 2;
    if (mods & Qt::AltModifier)
        s |= 4;
    return s;
}

} // namespace

Form::Form(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_escape(new QShortcut(QKeySequence(Qt::Key_Escape), this))
{
    // Fixed single border: minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setMouseTracking(true);
    m_escape->setContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, [this] {
        if (m_cancelButton && m_cancelButton->isEnabled())
            m_cancelButton->click();
    });
}

Form::~Form() = default;

void Form::setFixedClientSizeTwips(double width, double height)
{
    setFixedSize(twipsToPixelsX(width), twipsToPixelsY(height));
}

void Form::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    // frameGeometry() is the client area until the window manager has framed the window.
    move(frame.topLeft() + (pos() - frameGeometry().topLeft()));
}

int Form::windowStateNumber() const
{
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return Minimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return Maximized;
    return Normal;
}

void Form::setWindowStateNumber(int state)
{
    switch (state) {
    case Minimized:
        setWindowState((windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen)) | Qt::WindowMinimized);
        break;
    case Maximized:
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    default:
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
        break;
    }
}

void Form::setCancelButton(QAbstractButton *button)
{
    m_cancelButton = button;
    m_escape->setEnabled(button != nullptr);
}

float Form::scaleX(float value, ScaleMode from, ScaleMode to) const
{
    const double tpp = twipsPerPixelX();
    const double pixels = from == Twips ? value / tpp : value;
    return static_cast<float>(to == Twips ? pixels * tpp : pixels);
}

void Form::raiseMouseMove(short button, short shift, double xPixels, double yPixels)
{
    short b = button;
    emit MouseMove(b, shift, static_cast<float>(xPixels * twipsPerPixelX()),
                   static_cast<float>(yPixels * twipsPerPixelY()));
}

void Form::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF p = event->position();
    raiseMouseMove(buttonsOf(event->buttons()), shiftOf(event->modifiers()), p.x(), p.y());
    QWidget::mouseMoveEvent(event);
}

} // namespace toolkit
