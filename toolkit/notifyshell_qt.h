// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/desktop_notifications.h"
#include "toolkit/notifyshell.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <initializer_list>
#include <map>
#include <optional>
#include <utility>

namespace toolkit {

// The desktop's notification area: one QSystemTrayIcon per (hWnd, uID), driven by the
// record's icon (a handle of toolkit::handles), tool tip and balloon fields.
//
// The icon's clicks go back to the owner window as notification codes, queued like the
// shell's window messages: a left click gives 513 then 514, a right click 516 then 517, a
// double click 515, a middle click 519 then 520, a click on a balloon 1029. They arrive
// through Form::raiseMouseMove with the code as X in pixels, provided the callback message
// is WM_MOUSEMOVE (the only message a form understands) and the owner is a toolkit::Form.
//
// Two kinds of notification area: the XEmbed tray of X11, where Qt draws balloons itself and
// reports neither their showing nor their timing out (so 1026 to 1028 never come), and a
// tray host on the session bus (StatusNotifierItem; X11 and Wayland), chosen once, at the
// first icon, as Qt chooses it. There balloons are the desktop's notifications, posted here
// rather than by Qt: a withdrawal closes the notification instead of posting an empty one,
// every notification can be clicked, and shown (1026), timed out or dismissed (1028) and
// clicked (1029) come back for this program's own notifications only. Double clicks never
// come from such a host.
//
// Without a notification area (the offscreen platform, or Wayland without a tray host) every
// icon keeps its state and nothing is shown. On X11 an icon is shown even while no tray host
// runs: Qt embeds it once one appears.
class QtNotifyShell final : public QObject, public NotifyShell
{
    Q_OBJECT
public:
    struct Balloon
    {
        QString title;
        QString text;
        std::uint32_t infoFlags = 0;
        std::uint32_t timeout = 0; // as the record gave it, in milliseconds
        bool operator==(const Balloon &) const = default;
    };

    // What the shell holds for one icon.
    struct Icon
    {
        QSystemTrayIcon *tray = nullptr;
        std::uint32_t callbackMessage = 0;
        std::uint32_t version = 0;
        std::optional<Balloon> balloon; // the balloon standing, if any
        int balloonPosts = 0;           // how often a new balloon was handed to Qt
        DesktopNotifications::Token notification = 0; // the balloon as a desktop notification
        QMetaObject::Connection ownerGone;
    };

    explicit QtNotifyShell(QObject *parent = nullptr);
    ~QtNotifyShell() override;

    bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record) override;
    bool canShowIcons() override;

    // The icon for (hWnd, uID); nullptr when the shell holds none.
    const Icon *find(std::uint32_t hWnd, std::uint32_t uID) const;

    // Qt's icon for one of dwInfoFlags' balloon icons; NoIcon for "none" and unknown ones.
    static QSystemTrayIcon::MessageIcon messageIcon(std::uint32_t infoFlags);
    // A notification's urgency for dwInfoFlags: 0 (low) for none and information, 1 for a
    // warning, 2 (critical) for an error, as Qt's own tray does.
    static int urgency(std::uint32_t infoFlags);

private:
    using Key = std::pair<std::uint32_t, std::uint32_t>;

    void chooseTray();

    bool add(const Key &key, const NotifyIconData &record);
    void apply(Icon &icon, const NotifyIconData &record);
    void applyBalloon(Icon &icon, const NotifyIconData &record);
    void remove(const Key &key);
    void activated(const Key &key, QSystemTrayIcon::ActivationReason reason);
    void notifyOwner(const Key &key, std::initializer_list<std::uint32_t> codes);
    void notificationEvent(DesktopNotifications::Token token, std::uint32_t code);
    void withdrawNotification(Icon &icon);

    std::map<Key, Icon> m_icons;
    std::optional<bool> m_statusNotifier;
    DesktopNotifications *m_notifications = nullptr;
};

} // namespace toolkit
