// SPDX-License-Identifier: GPL-3.0-or-later
// The icon's life: binding the owner, adding, refreshing and removing the icon, tool tip.
#include "systray/clsSystray.h"

#include "toolkit/form.h"
#include "toolkit/notifyshell.h"

namespace {

using namespace toolkit;

bool isBlank(const QString &text) { return text.trimmed().isEmpty(); }

} // namespace

clsSystray::clsSystray(toolkit::NotifyShell *shell, QObject *parent)
    : QObject(parent)
    , myShell(shell ? shell : &defaultNotifyShell())
{
    if (!shell) {
        myDefaultShell = dynamic_cast<QObject *>(myShell);
        myShellMayGo = !myDefaultShell.isNull();
    }
    writeU32(myIconData, nid::cbSize, NotifyIconDataSize);
    writeU32(myIconData, nid::uCallbackMessage, WM_MOUSEMOVE);
}

clsSystray::~clsSystray()
{
    if (myInTray)
        RemoveIconFromTray();
}

std::int32_t clsSystray::SetOwner(QObject *Frm)
{
    auto *form = qobject_cast<Form *>(Frm);
    if (!form) {
        myLastError = -1;
        return myLastError;
    }
    disconnect(myFormEvents);
    myForm = form;
    myFormEvents = connect(form, &Form::MouseMove, this, &clsSystray::myForm_MouseMove);
    writeU32(myIconData, nid::hWnd, form->hWnd());
    writeU32(myIconData, nid::hIcon, form->iconHandle());
    myLastError = 0;
    return myLastError;
}

std::int32_t clsSystray::AddIconToTray(std::uint32_t hIcon, const QString &Tooltiptext, bool Enable)
{
    myLastError = 0;
    std::int32_t warning = 0;
    if (!myForm) {
        myLastError = -2;
    } else if (hIcon == 0) {
        myLastError = -3;
    } else if (myInTray) {
        myLastError = -9;
    } else if (QObject *tray = myForm->member(QStringLiteral("mnuTray")); !tray) {
        warning = 4;
    } else if (Form::menuVisible(tray).value_or(true)) {
        warning = 5;
    } else if (!myForm->member(QStringLiteral("mnuDefault"))) {
        warning = 6;
    }
    if (myLastError < 0)
        return myLastError;

    myInTray = true;
    writeU32(myIconData, nid::hIcon, hIcon);
    send(NIM_ADD);
    writeU32(myIconData, nid::uVersion, NOTIFYICON_VERSION);
    send(NIM_SETVERSION);
    Tooltip(Tooltiptext);
    const bool tipRefused = myLastError == -11;
    myEnabled = Enable;
    RefreshIcon();
    // The icon is in the tray either way: a menu warning says more than the refused tip.
    myLastError = warning != 0 ? warning : tipRefused ? -11 : 0;
    return myLastError;
}

bool clsSystray::TrayAvailable() const
{
    if (myShellMayGo && !myDefaultShell)
        return false;
    return myShell->canShowIcons();
}

void clsSystray::RefreshIcon()
{
    writeU32(myIconData, nid::uFlags, readU32(myIconData, nid::uFlags) | NIF_ICON | NIF_MESSAGE | NIF_TIP);
    send(NIM_MODIFY);
}

std::int32_t clsSystray::trayRefusal() const
{
    if (!myInTray)
        return -7;
    if (!myEnabled)
        return -8;
    return 0;
}

std::int32_t clsSystray::RemoveIconFromTray()
{
    if (const std::int32_t refusal = trayRefusal()) {
        myLastError = refusal;
    } else {
        send(NIM_DELETE);
        myInTray = false;
        myLastError = 0;
    }
    return myLastError;
}

void clsSystray::Enabled(bool nuEnabled)
{
    if (!nuEnabled) {
        // Enabled for a moment, so that the balloon on screen can be withdrawn.
        myEnabled = true;
        HideBalloon();
    }
    myEnabled = nuEnabled;
    myLastError = 0;
}

void clsSystray::Icon(std::uint32_t hIcon)
{
    writeU32(myIconData, nid::hIcon, hIcon);
    RefreshIcon();
    myLastError = 0;
}

void clsSystray::Tooltip(const QString &Text)
{
    if (isBlank(Text)) {
        myLastError = -11;
        return;
    }
    myTooltip = Text;
    CopyTextToField(Text, nid::szTip, nid::szTipUnits);
    RefreshIcon();
    myLastError = 0;
}

void clsSystray::CopyTextToField(const QString &Text, std::size_t offset, std::size_t capacity)
{
    if (capacity == 0)
        return;
    const std::size_t units = std::min(static_cast<std::size_t>(Text.size()), capacity - 1);
    for (std::size_t i = 0; i < units; ++i)
        writeUnit(myIconData, offset, i, Text.at(static_cast<qsizetype>(i)).unicode());
    writeUnit(myIconData, offset, units, 0);
}

void clsSystray::send(std::uint32_t message)
{
    if (myShellMayGo && !myDefaultShell)
        return;
    // The shell's answer changes nothing here: the record is the component's state.
    myShell->Shell_NotifyIconW(message, myIconData);
}
