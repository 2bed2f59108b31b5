// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <cstdint>
#include <map>

namespace toolkit {

// The desktop's notification server (org.freedesktop.Notifications on the session bus):
// posts notifications, withdraws them, and reports what the server says about them.
//
// Every post gets a token of its own at once; the server's id arrives later. A withdrawal
// before that closes the notification as soon as the id is known, so nothing stays on
// screen. Without a server a post is lost quietly: no error, no signal. The server's
// signals count only for this program's own notifications, never another program's.
class DesktopNotifications final : public QObject
{
    Q_OBJECT
public:
    using Token = std::uint64_t;

    struct Message
    {
        QString title;
        QString text;
        int urgency = 1;    // 0 low, 1 normal, 2 critical
        int timeoutMs = -1; // -1: the server's choice
    };

    explicit DesktopNotifications(const QDBusConnection &bus, QObject *parent = nullptr);

    // Posts `message`; it replaces the notification of `replaces` (a token of this object)
    // where that one still stands. Never 0.
    Token post(const Message &message, Token replaces = 0);
    // Takes the notification off the screen; nothing for an unknown token.
    void withdraw(Token token);

signals:
    void shown(toolkit::DesktopNotifications::Token token);
    void clicked(toolkit::DesktopNotifications::Token token);
    // Expired, or dismissed by the user; not after withdraw().
    void timedOut(toolkit::DesktopNotifications::Token token);

private slots:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);

private:
    struct Entry
    {
        uint id = 0; // 0 until the server answers
        bool withdrawn = false;
    };

    void answered(Token token, uint id);
    void close(uint id);
    std::map<Token, Entry>::iterator byId(uint id);

    QDBusConnection m_bus;
    std::map<Token, Entry> m_entries;
    Token m_next = 1;
};

} // namespace toolkit
