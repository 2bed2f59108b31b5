// SPDX-License-Identifier: GPL-3.0-or-later
// Tray mode of the main window: minimising to the tray, the icon's clicks, the tray menu and
// its commands, and the credits link.
#include "app/formKelvane.h"

#include "systray/clsSystray.h"
#include "toolkit/desktop.h"
#include "toolkit/label.h"

#include <QAction>
#include <QEvent>
#include <QMenu>

namespace {

// Notification codes of the icon, as they arrive in a mouse move's X (in pixels).
constexpr float leftButtonUp = 514; // WM_LBUTTONUP
constexpr float rightButtonUp = 517; // WM_RBUTTONUP

} // namespace

void formKelvane::changeEvent(QEvent *event)
{
    toolkit::Form::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void formKelvane::Form_Resize()
{
    if (windowStateNumber() != Minimized)
        return;
    // Without a notification area (Wayland with no tray host) the desktop keeps the minimised
    // window: hidden, it could never be brought back.
    if (!trayAvailable())
        return;
    // The add is refused when the icon is in the tray already; the window goes all the same.
    if (SysTray)
        (void)SysTray->AddIconToTray(iconHandle(), windowTitle(), true);
    // Back to the normal state before hiding: restoring an iconified window maps it, which
    // the hide then takes back in the same request batch. The hidden window is normal, so it
    // comes back as it was when shown again.
    setWindowStateNumber(Normal);
    hide();
}

bool formKelvane::trayAvailable() const { return !SysTray || SysTray->TrayAvailable(); }

void formKelvane::ShowTray()
{
    if (!trayAvailable())
        return;
    if (SysTray)
        (void)SysTray->AddIconToTray(iconHandle(), windowTitle(), true);
    hide();
}

void formKelvane::HideTray()
{
    show();
    if (!isVisible())
        return;
    // Where minimising never reaches the program (Wayland), the icon stays while the window
    // is shown: its click is the way back to the tray.
    if (SysTray && toolkit::windowManagerReportsMinimise())
        (void)SysTray->RemoveIconFromTray();
    toolkit::setForegroundWindow(this);
}

void formKelvane::vbPopupMenu(toolkit::Form *objForm, QObject *objMenu, QObject *DefaultMenu, float X, float Y)
{
    if (!objForm)
        return;
    toolkit::setForegroundWindow(objForm);
    if (DefaultMenu)
        (void)objForm->popupMenu(objMenu, {}, {}, {}, DefaultMenu);
    else if (X + Y > 0)
        (void)objForm->popupMenu(objMenu, 0, X, Y);
    else
        (void)objForm->popupMenu(objMenu);
}

void formKelvane::Form_MouseMove(short & /*Button*/, short /*Shift*/, float X, float /*Y*/)
{
    // An ordinary move over the 312-pixel client area never reaches these codes.
    const float code = scaleX(X, Twips, Pixels);
    if (code == leftButtonUp)
        mnuShow_Click();
    else if (code == rightButtonUp)
        vbPopupMenu(this, mnuMain, mnuShow);
}

void formKelvane::mnuShow_Click()
{
    if (isVisible())
        ShowTray();
    else
        HideTray();
}

// The item is checkable: choosing it flips its own check mark, which is the auto-free switch
// the next refresh reads.
void formKelvane::mnuAutoFree_Click() { mnuAutoFree->trigger(); }

void formKelvane::mnuExit_Click() { close(); }

void formKelvane::lblCredits_Click()
{
    // Nothing depends on the outcome: without a handler for the address nothing happens.
    (void)toolkit::shellOpen(lblCredits->toolTip());
}
