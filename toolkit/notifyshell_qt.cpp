// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/notifyshell_qt.h"

#include "toolkit/form.h"
#include "toolkit/handles.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QPointer>

#include <algorithm>

namespace toolkit {
namespace {

// The shell keeps a balloon up for at least 10 and at most 30 seconds, whatever the
// record asks for.
constexpr std::uint32_t MinBalloonMs = 10000;
constexpr std::uint32_t MaxBalloonMs = 30000;

bool trayMayAppear()
{
    // X11 embeds a shown icon whenever a tray host appears; elsewhere (offscreen, minimal)
    // showing an icon without a tray only makes Qt complain.
    return QSystemTrayIcon::isSystemTrayAvailable() || QGuiApplication::platformName() == QLatin1String("xcb");
}

// Asks the session bus as Qt does before its first tray icon, and gets the same answer:
// a StatusNotifierWatcher with a registered host (read through introspection, as Qt reads
// it), on a platform where Qt speaks to one.
bool statusNotifierHostRegistered()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")))
        return false;
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(watcher))
        return false;
    QDBusInterface host(watcher, QStringLiteral("/StatusNotifierWatcher"), watcher, bus);
    return host.property("IsStatusNotifierHostRegistered").toBool();
}

} // namespace

QtNotifyShell::QtNotifyShell(QObject *parent)
    : QObject(parent)
{
}

QtNotifyShell::~QtNotifyShell()
{
    for (auto &[key, icon] : m_icons) {
        disconnect(icon.ownerGone);
        withdrawNotification(icon);
    }
}

bool QtNotifyShell::Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record)
{
    const Key key{readU32(record, nid::hWnd), readU32(record, nid::uID)};
    if (message == NIM_ADD)
        return add(key, record);
    const auto it = m_icons.find(key);
    if (it == m_icons.end())
        return false;
    switch (message) {
    case NIM_MODIFY:
        apply(it->second, record);
        return true;
    case NIM_DELETE:
        remove(key);
        return true;
    case NIM_SETVERSION:
        it->second.version = readU32(record, nid::uVersion);
        return true;
    default:
        return false;
    }
}

void QtNotifyShell::chooseTray()
{
    if (m_statusNotifier)
        return;
    // Qt decides when first asked, for the life of the program; so does the shell.
    m_statusNotifier = statusNotifierHostRegistered();
    if (!*m_statusNotifier)
        return;
    m_notifications = new DesktopNotifications(QDBusConnection::sessionBus(), this);
    connect(m_notifications, &DesktopNotifications::shown, this,
            [this](DesktopNotifications::Token t) { notificationEvent(t, NIN_BALLOONSHOW); });
    connect(m_notifications, &DesktopNotifications::timedOut, this,
            [this](DesktopNotifications::Token t) { notificationEvent(t, NIN_BALLOONTIMEOUT); });
    connect(m_notifications, &DesktopNotifications::clicked, this,
            [this](DesktopNotifications::Token t) { notificationEvent(t, NIN_BALLOONUSERCLICK); });
}

bool QtNotifyShell::canShowIcons()
{
    chooseTray();
    return *m_statusNotifier || trayMayAppear();
}

const QtNotifyShell::Icon *QtNotifyShell::find(std::uint32_t hWnd, std::uint32_t uID) const
{
    const auto it = m_icons.find(Key{hWnd, uID});
    return it == m_icons.end() ? nullptr : &it->second;
}

QSystemTrayIcon::MessageIcon QtNotifyShell::messageIcon(std::uint32_t infoFlags)
{
    switch (infoFlags & NIIF_ICON_MASK) {
    case NIIF_INFO:
        return QSystemTrayIcon::Information;
    case NIIF_WARNING:
        return QSystemTrayIcon::Warning;
    case NIIF_ERROR:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

int QtNotifyShell::urgency(std::uint32_t infoFlags)
{
    switch (infoFlags & NIIF_ICON_MASK) {
    case NIIF_WARNING:
        return 1;
    case NIIF_ERROR:
        return 2;
    default:
        return 0;
    }
}

bool QtNotifyShell::add(const Key &key, const NotifyIconData &record)
{
    QWidget *owner = handles::window(key.first);
    if (!owner || m_icons.count(key))
        return false;
    chooseTray();
    Icon &icon = m_icons[key];
    icon.tray = new QSystemTrayIcon(this);
    connect(icon.tray, &QSystemTrayIcon::activated, this,
            [this, key](QSystemTrayIcon::ActivationReason reason) { activated(key, reason); });
    // Qt's tray on the session bus reports a click on any notification, another program's
    // too; the shell's own notifications report theirs.
    if (!m_notifications)
        connect(icon.tray, &QSystemTrayIcon::messageClicked, this, [this, key] { notifyOwner(key, {NIN_BALLOONUSERCLICK}); });
    // A host on the session bus draws the menu itself and never asks for one; an XEmbed
    // tray leaves the right click to the owner, which pops up its own.
    if (*m_statusNotifier) {
        if (auto *form = qobject_cast<Form *>(owner); form && form->trayMenu())
            icon.tray->setContextMenu(form->trayMenu());
    }
    // A window that goes takes its icons along, so none is left behind without an owner.
    icon.ownerGone = connect(owner, &QObject::destroyed, this, [this, key] { remove(key); });
    apply(icon, record);
    return true;
}

void QtNotifyShell::apply(Icon &icon, const NotifyIconData &record)
{
    const std::uint32_t flags = readU32(record, nid::uFlags);
    if (flags & NIF_MESSAGE)
        icon.callbackMessage = readU32(record, nid::uCallbackMessage);
    if (flags & NIF_ICON) {
        // Every tool tip change sends the icon along; Qt would repaint it each time.
        const QIcon picture = handles::icon(readU32(record, nid::hIcon));
        if (picture.cacheKey() != icon.tray->icon().cacheKey())
            icon.tray->setIcon(picture);
    }
    if (flags & NIF_TIP)
        icon.tray->setToolTip(readText(record, nid::szTip, nid::szTipUnits));
    // Qt cannot show an icon without a picture; the entry waits for one.
    icon.tray->setVisible(!icon.tray->icon().isNull() && trayMayAppear());
    if (flags & NIF_INFO)
        applyBalloon(icon, record);
}

void QtNotifyShell::applyBalloon(Icon &icon, const NotifyIconData &record)
{
    const QString text = readText(record, nid::szInfo, nid::szInfoUnits);
    if (text.isEmpty()) {
        // An empty text withdraws the balloon. Qt's own balloon takes an empty message as
        // "hide"; a desktop notification is closed.
        if (m_notifications)
            withdrawNotification(icon);
        else if (icon.balloon && icon.tray->isVisible())
            icon.tray->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 0);
        icon.balloon.reset();
        return;
    }
    Balloon balloon{readText(record, nid::szInfoTitle, nid::szInfoTitleUnits), text,
                    readU32(record, nid::dwInfoFlags), readU32(record, nid::uTimeout)};
    // Every refresh of the icon carries the balloon fields again; only a new balloon shows.
    if (icon.balloon == balloon)
        return;
    icon.balloon = std::move(balloon);
    ++icon.balloonPosts;
    const auto ms = static_cast<int>(std::clamp(icon.balloon->timeout, MinBalloonMs, MaxBalloonMs));
    if (m_notifications) {
        // The new balloon takes the place of the one standing.
        icon.notification = m_notifications->post(
            {icon.balloon->title, icon.balloon->text, urgency(icon.balloon->infoFlags), ms}, icon.notification);
        return;
    }
    icon.tray->showMessage(icon.balloon->title, icon.balloon->text, messageIcon(icon.balloon->infoFlags), ms);
}

void QtNotifyShell::withdrawNotification(Icon &icon)
{
    if (m_notifications && icon.notification != 0)
        m_notifications->withdraw(icon.notification);
    icon.notification = 0;
}

void QtNotifyShell::notificationEvent(DesktopNotifications::Token token, std::uint32_t code)
{
    for (auto &[key, icon] : m_icons) {
        if (icon.notification != token)
            continue;
        // Clicked or gone: the desktop holds it no more. The balloon fields stay, so the next
        // refresh carrying them posts nothing new.
        if (code != NIN_BALLOONSHOW)
            icon.notification = 0;
        notifyOwner(key, {code});
        return;
    }
}

void QtNotifyShell::remove(const Key &key)
{
    const auto it = m_icons.find(key);
    if (it == m_icons.end())
        return;
    disconnect(it->second.ownerGone);
    // The icon's balloon goes with it.
    withdrawNotification(it->second);
    QSystemTrayIcon *tray = it->second.tray;
    m_icons.erase(it);
    tray->hide();
    // Deleting later: the removal may come from a handler that Qt called from the icon.
    tray->deleteLater();
}

void QtNotifyShell::activated(const Key &key, QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        notifyOwner(key, {WM_LBUTTONDOWN, WM_LBUTTONUP});
        break;
    case QSystemTrayIcon::Context:
        notifyOwner(key, {WM_RBUTTONDOWN, WM_RBUTTONUP});
        break;
    case QSystemTrayIcon::DoubleClick:
        notifyOwner(key, {WM_LBUTTONDBLCLK});
        break;
    case QSystemTrayIcon::MiddleClick:
        notifyOwner(key, {WM_MBUTTONDOWN, WM_MBUTTONUP});
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void QtNotifyShell::notifyOwner(const Key &key, std::initializer_list<std::uint32_t> codes)
{
    const auto it = m_icons.find(key);
    if (it == m_icons.end() || it->second.callbackMessage != WM_MOUSEMOVE)
        return;
    auto *form = qobject_cast<Form *>(handles::window(key.first));
    if (!form)
        return;
    // Queued, as the shell posts its messages: the owner's handlers run outside Qt's tray
    // code and may remove the icon or open a modal menu.
    for (const std::uint32_t code : codes) {
        QMetaObject::invokeMethod(
            form, [form, code] { form->raiseMouseMove(0, 0, code, 0); }, Qt::QueuedConnection);
    }
}

NotifyShell &defaultNotifyShell()
{
    // Refuses everything: for a program that has no application object (yet).
    struct NoShell final : NotifyShell
    {
        bool Shell_NotifyIconW(std::uint32_t, const NotifyIconData &) override { return false; }
    };
    static NoShell none;
    // Owned by the application, so its tray icons go before Qt does.
    static QPointer<QtNotifyShell> shell;
    if (!shell) {
        // Tray icons are widgets underneath: they need a QApplication.
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        if (!app)
            return none;
        shell = new QtNotifyShell(app);
    }
    return *shell;
}

} // namespace toolkit
