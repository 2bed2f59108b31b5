// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/form.h"

#include "toolkit/handles.h"
#include "toolkit/twips.h"

#include <QAbstractButton>
#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
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
    const double pixels = from == Twips ? pixelsFromTwips(value, tpp) : value;
    return static_cast<float>(to == Twips ? pixels * tpp : pixels);
}

void Form::raiseMouseMove(short button, short shift, double xPixels, double yPixels)
{
    short b = button;
    emit MouseMove(b, shift, static_cast<float>(xPixels * twipsPerPixelX()),
                   static_cast<float>(yPixels * twipsPerPixelY()));
}

std::uint32_t Form::hWnd() const { return handles::forWindow(this); }

std::uint32_t Form::iconHandle() const { return handles::forIcon(windowIcon()); }

QObject *Form::member(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    if (auto *menu = findChild<QMenu *>(name))
        return menu;
    return findChild<QAction *>(name);
}

std::optional<bool> Form::menuVisible(const QObject *member)
{
    if (const auto *menu = qobject_cast<const QMenu *>(member))
        return menu->menuAction()->isVisible();
    if (const auto *item = qobject_cast<const QAction *>(member))
        return item->isVisible();
    return std::nullopt;
}

bool Form::popupMenu(QObject *menu, std::optional<int> flags, std::optional<float> x, std::optional<float> y,
                     QObject *defaultItem)
{
    QPointer<QMenu> popup = qobject_cast<QMenu *>(menu);
    if (!popup) {
        if (auto *item = qobject_cast<QAction *>(menu))
            popup = item->menu();
    }
    if (!popup || popup->isEmpty())
        return false;
    auto *bold = qobject_cast<QAction *>(defaultItem);
    if (auto *submenu = qobject_cast<QMenu *>(defaultItem))
        bold = submenu->menuAction();

    QPoint at = QCursor::pos();
    if (x)
        at.setX(mapToGlobal(QPoint(twipsToPixelsX(*x), 0)).x());
    if (y)
        at.setY(mapToGlobal(QPoint(0, twipsToPixelsY(*y))).y());
    if (flags && (*flags & 8))
        at.rx() -= popup->sizeHint().width();
    else if (flags && (*flags & 4))
        at.rx() -= popup->sizeHint().width() / 2;

    // The bold item belongs to this popup only; the menu keeps its own default afterwards.
    const QPointer<QAction> previous = popup->defaultAction();
    popup->setDefaultAction(bold);
    // A popup that the desktop cannot place as a popup (Wayland, with no window of the program
    // shown) becomes a window of its own: at its natural size a tiling desktop floats it
    // rather than stretching it over the screen.
    popup->setFixedSize(popup->sizeHint());
    popup->exec(at);
    if (popup) {
        popup->setDefaultAction(previous);
        popup->setMinimumSize(0, 0);
        popup->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    return true;
}

void Form::setTrayMenu(QMenu *menu) { m_trayMenu = menu; }

QMenu *Form::trayMenu() const { return m_trayMenu; }

void Form::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF p = event->position();
    raiseMouseMove(buttonsOf(event->buttons()), shiftOf(event->modifiers()), p.x(), p.y());
    QWidget::mouseMoveEvent(event);
}

} // namespace toolkit
