// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
// Qt reports neither a balloon's showing nor its timing out, so 1026 to 1028 never come.
//
// Without a notification area (the offscreen platform) every icon keeps its state and
// nothing is shown. On X11 an icon is shown even while no tray host runs: Qt embeds it
// once one appears.
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
        QMetaObject::Connection ownerGone;
    };

    explicit QtNotifyShell(QObject *parent = nullptr);
    ~QtNotifyShell() override;

    bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record) override;

    // The icon for (hWnd, uID); nullptr when the shell holds none.
    const Icon *find(std::uint32_t hWnd, std::uint32_t uID) const;

    // Qt's icon for one of dwInfoFlags' balloon icons; NoIcon for "none" and unknown ones.
    static QSystemTrayIcon::MessageIcon messageIcon(std::uint32_t infoFlags);

private:
    using Key = std::pair<std::uint32_t, std::uint32_t>;

    bool add(const Key &key, const NotifyIconData &record);
    void apply(Icon &icon, const NotifyIconData &record);
    void applyBalloon(Icon &icon, const NotifyIconData &record);
    void remove(const Key &key);
    void activated(const Key &key, QSystemTrayIcon::ActivationReason reason);
    void notifyOwner(const Key &key, std::initializer_list<std::uint32_t> codes);

    std::map<Key, Icon> m_icons;
};

} // namespace toolkit
