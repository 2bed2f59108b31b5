// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/notifyicondata.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

namespace toolkit {
class Form;
class NotifyShell;
} // namespace toolkit

// One notification-area icon on behalf of one owner form: the icon, its tool tip and balloon
// tips, kept in the shell's 936-byte record and handed to the shell on every change; the
// shell's notifications, which reach the owner as mouse moves, come back as this object's
// signals, and a right click pops up the owner's hidden menu "mnuTray".
//
// Nothing throws. Every operation records an outcome number (LastErrorNumber, with its text
// in LastErrorText): 0 success, negative refused (nothing changed), 4 to 6 warnings after
// which the icon was added all the same. Calling order: SetOwner, optionally Enabled and
// Tooltip, AddIconToTray; then Tooltip, Icon, RefreshIcon and balloons; RemoveIconFromTray.
// GUI thread only.
class clsSystray final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(clsSystray)
public:
    // `shell` must outlive this object; nullptr takes toolkit::defaultNotifyShell(), which
    // needs the QApplication to exist already.
    explicit clsSystray(toolkit::NotifyShell *shell = nullptr, QObject *parent = nullptr);
    // Removes the icon if it is in the tray and the component is enabled.
    ~clsSystray() override;

    // Adds the icon with the tool tip; Enable becomes Enabled. -2 without an owner, -3 for
    // hIcon 0, -9 when already added; otherwise added, with the warning 4 (no "mnuTray" menu
    // on the owner), 5 ("mnuTray" visible) or 6 (no "mnuDefault" item), or -11 when the tool
    // tip is blank and nothing else was found, else 0.
    std::int32_t AddIconToTray(std::uint32_t hIcon, const QString &Tooltiptext, bool Enable);
    bool Enabled() const { return myEnabled; }
    // False withdraws a balloon first. While disabled: no signals, no popup, and
    // ShowBalloon, HideBalloon and RemoveIconFromTray refuse with -8.
    void Enabled(bool nuEnabled);
    // Withdraws the balloon: -7 when the icon is not in the tray, -8 when disabled.
    std::int32_t HideBalloon();
    // Replaces the icon (0 too) and refreshes it.
    void Icon(std::uint32_t hIcon);
    bool IsIconInTray() const { return myInTray; }
    // False when the desktop has no notification area that could ever show the icon.
    bool TrayAvailable() const;
    std::int32_t LastErrorNumber() const { return myLastError; }
    // The fixed text of LastErrorNumber; empty for a number no operation records.
    QString LastErrorText() const { return outcomeText(myLastError); }
    static QString outcomeText(std::int32_t number);
    // Sends the record with icon, tool tip and callback message; also when not in the tray.
    void RefreshIcon();
    // -7 when the icon is not in the tray, -8 when disabled (the icon stays).
    std::int32_t RemoveIconFromTray();
    // Binds the owner: -1 and the old owner kept unless Frm is a toolkit::Form.
    std::int32_t SetOwner(QObject *Frm);
    // Style: 0 none, 1 info, 2 warning, 3 error, each optionally + 16 (no sound); anything
    // else is -10. An empty Message withdraws the balloon. -7 / -8 as HideBalloon.
    // TimeOut is in milliseconds; the shell applies its own limits.
    std::int32_t ShowBalloon(const QString &Message, const QString &Title, std::int32_t Style,
                             std::int32_t TimeOut);
    // The whole text last accepted (the record holds at most 127 characters of it).
    QString Tooltip() const { return myTooltip; }
    // A blank text (empty or spaces) is refused with -11 and changes nothing.
    void Tooltip(const QString &Text);

signals:
    // The shell's notifications. Button: 1 left, 2 right; for MouseMove the owner's own
    // Button argument. A handler may change Button; for the others it is a fresh value.
    void MouseMove(short &Button);
    void DoubleClick(short &Button);
    void MouseDown(short &Button);
    void MouseUp(short &Button);
    void BalloonTimeout();
    void BalloonClicked();
    void BalloonShow();
    void BalloonHide();

private:
    // -7 while the icon is not in the tray, -8 while disabled, else 0: the refusals of the
    // operations that need a live, enabled icon.
    std::int32_t trayRefusal() const;
    // Empties the balloon text and title and its flags, which withdraws a balloon.
    void clearBalloonFields();
    void myForm_MouseMove(short &Button, short Shift, float X, float Y);
    void popupTrayMenu();
    // Writes Text into the UTF-16 field at `offset` holding `capacity` code units: at most
    // capacity - 1 of them, then a zero; the units after the zero keep what they held.
    void CopyTextToField(const QString &Text, std::size_t offset, std::size_t capacity);
    void send(std::uint32_t message);

    toolkit::NotifyShell *myShell = nullptr;
    // The default shell goes with the application; after that nothing is sent.
    QPointer<QObject> myDefaultShell;
    bool myShellMayGo = false;
    QPointer<toolkit::Form> myForm;
    QMetaObject::Connection myFormEvents;
    toolkit::NotifyIconData myIconData{};
    bool myInTray = false;
    bool myEnabled = false;
    QString myTooltip;
    std::int32_t myLastError = 0;
};
