// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/notifyshell.h"

#include <QAbstractNativeEventFilter>
#include <QMetaObject>
#include <QObject>

#include <map>
#include <optional>
#include <utility>

#include <windows.h>
#include <shellapi.h>

namespace toolkit {

// The record as the x64 shell takes it (976 bytes: the handles are pointer-sized there): every
// field of `record` in its native place, with `owner` and `icon` standing for its 32-bit
// window and icon handles and cbSize set to the native size. Text fields are copied unit by
// unit and always end with a terminator within their capacity.
NOTIFYICONDATAW nativeRecord(const NotifyIconData &record, HWND owner, HICON icon);

// The notification code that the shell's callback message carries for the icon `uID`, or
// nothing when the message (wParam, lParam) is not one of that icon's. Up to version 3 the
// code is lParam and wParam the icon's uID; from version 4 on the code is lParam's low word
// and uID its high word.
std::optional<std::uint32_t> callbackCode(std::uint32_t version, std::uint32_t uID, WPARAM wParam, LPARAM lParam);

// Windows' own notification area: each record goes to the real Shell_NotifyIconW, with the
// owner's real window handle and an icon made from the record's icon handle (both 32-bit
// handles of toolkit::handles). Balloons are the shell's own.
//
// The shell posts the record's callback message to the owner window. When that message is
// WM_MOUSEMOVE (the only one a form understands) and the owner is a toolkit::Form, the
// notification code is handed to it through Form::raiseMouseMove, with the code as X in
// pixels, queued like the message itself; the message does not reach Qt as a mouse movement.
class WindowsNotifyShell final : public QObject, public NotifyShell, public QAbstractNativeEventFilter
{
public:
    explicit WindowsNotifyShell(QObject *parent = nullptr);
    ~WindowsNotifyShell() override;

    bool Shell_NotifyIconW(std::uint32_t message, const NotifyIconData &record) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    using Key = std::pair<std::uint32_t, std::uint32_t>;

    struct Icon
    {
        HWND owner = nullptr;
        HICON icon = nullptr;
        std::uint32_t iconHandle = 0;
        std::uint32_t callbackMessage = 0;
        std::uint32_t version = 0;
        QMetaObject::Connection ownerGone;
    };

    bool add(const Key &key, const NotifyIconData &record);
    bool modify(Icon &icon, const NotifyIconData &record);
    void remove(const Key &key);

    std::map<Key, Icon> m_icons;
};

} // namespace toolkit
