// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/notifyshell_windows.h"

#include "toolkit/application_shell.h"
#include "toolkit/form.h"
#include "toolkit/handles.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>

#include <algorithm>
#include <iterator>

namespace toolkit {
namespace {

template<std::size_t Units> void copyText(wchar_t (&into)[Units], const NotifyIconData &record, std::size_t offset)
{
    for (std::size_t i = 0; i < Units; ++i)
        into[i] = static_cast<wchar_t>(readUnit(record, offset, i));
    into[Units - 1] = 0;
}

// The shell's icon for a picture: the small icon size of the system.
HICON makeIcon(std::uint32_t handle)
{
    const QIcon picture = handles::icon(handle);
    if (picture.isNull())
        return nullptr;
    const int width = ::GetSystemMetrics(SM_CXSMICON);
    const int height = ::GetSystemMetrics(SM_CYSMICON);
    return picture.pixmap(QSize(width > 0 ? width : 16, height > 0 ? height : 16)).toImage().toHICON();
}

// The notification codes a shell sends; anything else in a mouse-move message is a real
// movement of the mouse.
bool isNotificationCode(std::uint32_t code)
{
    return (code >= WM_MOUSEMOVE && code <= WM_MBUTTONDBLCLK) || code == 0x7B /* WM_CONTEXTMENU */
        || (code >= NIN_SELECT && code <= NIN_BALLOONUSERCLICK);
}

} // namespace

NOTIFYICONDATAW nativeRecord(const NotifyIconData &record, HWND owner, HICON icon)
{
    NOTIFYICONDATAW native{};
    native.cbSize = sizeof native;
    native.hWnd = owner;
    native.uID = readU32(record, nid::uID);
    native.uFlags = readU32(record, nid::uFlags);
    native.uCallbackMessage = readU32(record, nid::uCallbackMessage);
    native.hIcon = icon;
    copyText(native.szTip, record, nid::szTip);
    native.dwState = readU32(record, nid::dwState);
    native.dwStateMask = readU32(record, nid::dwStateMask);
    copyText(native.szInfo, record, nid::szInfo);
    native.uTimeout = readU32(record, nid::uTimeout); // uVersion shares its place
    copyText(native.szInfoTitle, record, nid::szInfoTitle);
    native.dwInfoFlags = readU32(record, nid::dwInfoFlags);
    return native;
}

std::optional<std::uint32_t> callbackCode(std::uint32_t version, std::uint32_t uID, WPARAM wParam, LPARAM lParam)
{
    const auto bits = static_cast<std::uint64_t>(lParam);
    if (version >= 4) {
        if (((bits >> 16) & 0xFFFF) != (uID & 0xFFFF) || (bits >> 32) != 0)
            return std::nullopt;
        return static_cast<std::uint32_t>(bits & 0xFFFF);
    }
    if (static_cast<std::uint64_t>(wParam) != uID || bits > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(bits);
}

WindowsNotifyShell::WindowsNotifyShell(QObject *parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowsNotifyShell::~WindowsNotifyShell()
{
    // Icons left behind would stay in the notification area until the mouse passes over them.
    while (!m_icons.empty())
        remove(m_icons.begin()->first);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowsNotifyShell::Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record)
{
    const Key key{readU32(record, nid::hWnd), readU32(record, nid::uID)};
    if (message == NIM_ADD)
        return add(key, record);
    const auto it = m_icons.find(key);
    if (it == m_icons.end())
        return false;
    switch (message) {
    case NIM_MODIFY:
        return modify(it->second, record);
    case NIM_DELETE:
        remove(key);
        return true;
    case NIM_SETVERSION: {
        NOTIFYICONDATAW native = nativeRecord(record, it->second.owner, it->second.icon);
        if (!::Shell_NotifyIconW(NIM_SETVERSION, &native))
            return false;
        it->second.version = native.uVersion;
        return true;
    }
    default:
        return false;
    }
}

bool WindowsNotifyShell::add(const Key &key, const NotifyIconData &record)
{
    QWidget *owner = handles::window(key.first);
    if (!owner || m_icons.count(key))
        return false;
    Icon icon;
    icon.owner = reinterpret_cast<HWND>(owner->winId());
    const std::uint32_t flags = readU32(record, nid::uFlags);
    if (flags & NIF_ICON) {
        icon.iconHandle = readU32(record, nid::hIcon);
        icon.icon = makeIcon(icon.iconHandle);
    }
    if (flags & NIF_MESSAGE)
        icon.callbackMessage = readU32(record, nid::uCallbackMessage);
    NOTIFYICONDATAW native = nativeRecord(record, icon.owner, icon.icon);
    if (!::Shell_NotifyIconW(NIM_ADD, &native)) {
        if (icon.icon)
            ::DestroyIcon(icon.icon);
        return false;
    }
    // A window that goes takes its icons along, so none is left behind without an owner.
    icon.ownerGone = connect(owner, &QObject::destroyed, this, [this, key] { remove(key); });
    m_icons.emplace(key, icon);
    return true;
}

bool WindowsNotifyShell::modify(Icon &icon, const NotifyIconData &record)
{
    const std::uint32_t flags = readU32(record, nid::uFlags);
    HICON previous = nullptr;
    const std::uint32_t handle = readU32(record, nid::hIcon);
    // Every tool tip change sends the icon along: a new one is made only for a new picture.
    if ((flags & NIF_ICON) && handle != icon.iconHandle) {
        previous = icon.icon;
        icon.icon = makeIcon(handle);
        icon.iconHandle = handle;
    }
    NOTIFYICONDATAW native = nativeRecord(record, icon.owner, icon.icon);
    const bool done = ::Shell_NotifyIconW(NIM_MODIFY, &native);
    if (done && (flags & NIF_MESSAGE))
        icon.callbackMessage = native.uCallbackMessage;
    // The shell has copied the new picture; the old one is no longer shown.
    if (previous)
        ::DestroyIcon(previous);
    return done;
}

void WindowsNotifyShell::remove(const Key &key)
{
    const auto it = m_icons.find(key);
    if (it == m_icons.end())
        return;
    Icon icon = it->second;
    m_icons.erase(it);
    disconnect(icon.ownerGone);
    NOTIFYICONDATAW native{};
    native.cbSize = sizeof native;
    native.hWnd = icon.owner;
    native.uID = key.second;
    ::Shell_NotifyIconW(NIM_DELETE, &native);
    if (icon.icon)
        ::DestroyIcon(icon.icon);
}

bool WindowsNotifyShell::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    if (eventType != "windows_generic_MSG" || !message)
        return false;
    const MSG &msg = *static_cast<const MSG *>(message);
    for (const auto &[key, icon] : m_icons) {
        if (icon.owner != msg.hwnd || icon.callbackMessage != msg.message)
            continue;
        const auto code = callbackCode(icon.version, key.second, msg.wParam, msg.lParam);
        if (!code || !isNotificationCode(*code))
            continue;
        if (icon.callbackMessage == WM_MOUSEMOVE) {
            if (auto *form = qobject_cast<Form *>(handles::window(key.first))) {
                const QPointer<Form> owner(form);
                const std::uint32_t value = *code;
                // Queued: the owner's handlers may open a modal menu or remove the icon.
                QMetaObject::invokeMethod(
                    form, [owner, value] { if (owner) owner->raiseMouseMove(0, 0, value, 0); }, Qt::QueuedConnection);
            }
        }
        if (result)
            *result = 0;
        return true;
    }
    return false;
}

NotifyShell &defaultNotifyShell() { return applicationShell<WindowsNotifyShell>(); }

} // namespace toolkit
