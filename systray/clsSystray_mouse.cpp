// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's notifications, which arrive as the owner's mouse moves with the code as X.
#include "systray/clsSystray.h"

#include "toolkit/form.h"

namespace {

using namespace toolkit;

// Code compared as the owner's scale conversion gives it back: a float.
constexpr float code(std::uint32_t value) { return static_cast<float>(value); }

} // namespace

void clsSystray::myForm_MouseMove(short &Button, short /*Shift*/, float X, float /*Y*/)
{
    if (!myEnabled)
        return;
    const QPointer<Form> owner = myForm;
    if (!owner)
        return;
    const float c = owner->scaleX(X, owner->scaleMode(), Form::Pixels);
    short left = 1;
    short right = 2;
    // The order of the shell's own dispatch; the first equal code acts.
    if (c == code(WM_MOUSEMOVE)) {
        emit MouseMove(Button);
    } else if (c == code(WM_LBUTTONDBLCLK)) {
        emit DoubleClick(left);
    } else if (c == code(WM_RBUTTONDBLCLK)) {
        emit DoubleClick(right);
    } else if (c == code(WM_LBUTTONDOWN)) {
        emit MouseDown(left);
    } else if (c == code(WM_RBUTTONDOWN)) {
        emit MouseDown(right);
    } else if (c == code(WM_LBUTTONUP)) {
        emit MouseUp(left);
    } else if (c == code(WM_RBUTTONUP)) {
        const QPointer<clsSystray> self(this);
        emit MouseUp(right);
        // A handler may have deleted the component.
        if (self)
            popupTrayMenu();
    } else if (c == code(NIN_BALLOONSHOW)) {
        emit BalloonShow();
    } else if (c == code(NIN_BALLOONHIDE)) {
        emit BalloonHide();
    } else if (c == code(NIN_BALLOONTIMEOUT)) {
        emit BalloonTimeout();
    } else if (c == code(NIN_BALLOONUSERCLICK)) {
        emit BalloonClicked();
    }
}

void clsSystray::popupTrayMenu()
{
    // Looked up now: the owner, or a handler of MouseUp, may have changed its menus.
    const QPointer<Form> owner = myForm;
    if (!owner)
        return;
    QObject *tray = owner->member(QStringLiteral("mnuTray"));
    if (!tray || Form::menuVisible(tray).value_or(true))
        return;
    owner->popupMenu(tray, {}, {}, {}, owner->member(QStringLiteral("mnuDefault")));
}
