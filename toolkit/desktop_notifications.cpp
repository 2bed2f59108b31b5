// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/desktop_notifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>

namespace toolkit {
namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

// NotificationClosed reasons: 1 expired, 2 dismissed by the user, 3 closed by a call.
constexpr uint Expired = 1;
constexpr uint Dismissed = 2;

} // namespace

DesktopNotifications::DesktopNotifications(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

DesktopNotifications::Token DesktopNotifications::post(const Message &message, Token replaces)
{
    uint replacesId = 0;
    if (const auto old = m_entries.find(replaces); old != m_entries.end()) {
        // Replaced in place once the server knows it; one still unanswered is withdrawn.
        replacesId = old->second.id;
        if (replacesId != 0)
            m_entries.erase(old);
        else
            old->second.withdrawn = true;
    }
    const Token token = m_next++;
    m_entries[token] = Entry{};

    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(message.urgency)));
    const QString desktopFile = QGuiApplication::desktopFileName();
    if (!desktopFile.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), desktopFile);
    // The default action is what a click on the notification invokes; without one most
    // desktops let nobody click it.
    const QStringList actions{QStringLiteral("default"), QString()};
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    call << QGuiApplication::applicationDisplayName() << replacesId << QString() << message.title << message.text
         << actions << hints << message.timeoutMs;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, token](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        answered(token, reply.isValid() ? reply.value() : 0);
    });
    return token;
}

void DesktopNotifications::answered(Token token, uint id)
{
    const auto it = m_entries.find(token);
    if (it == m_entries.end())
        return;
    if (id == 0) {
        // No server, or it refused: the message is lost, as on a desktop without one.
        m_entries.erase(it);
        return;
    }
    it->second.id = id;
    if (it->second.withdrawn) {
        m_entries.erase(it);
        close(id);
        return;
    }
    emit shown(token);
}

void DesktopNotifications::withdraw(Token token)
{
    const auto it = m_entries.find(token);
    if (it == m_entries.end())
        return;
    if (it->second.id == 0) {
        it->second.withdrawn = true;
        return;
    }
    const uint id = it->second.id;
    m_entries.erase(it);
    close(id);
}

void DesktopNotifications::close(uint id)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("CloseNotification"));
    call << id;
    m_bus.send(call);
}

std::map<DesktopNotifications::Token, DesktopNotifications::Entry>::iterator DesktopNotifications::byId(uint id)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (id != 0 && it->second.id == id && !it->second.withdrawn)
            return it;
    }
    return m_entries.end();
}

void DesktopNotifications::actionInvoked(uint id, const QString & /*action*/)
{
    const auto it = byId(id);
    if (it == m_entries.end())
        return;
    // The server closes a clicked notification; that is no time-out.
    const Token token = it->first;
    m_entries.erase(it);
    emit clicked(token);
}

void DesktopNotifications::notificationClosed(uint id, uint reason)
{
    const auto it = byId(id);
    if (it == m_entries.end())
        return;
    const Token token = it->first;
    m_entries.erase(it);
    if (reason == Expired || reason == Dismissed)
        emit timedOut(token);
}

} // namespace toolkit
