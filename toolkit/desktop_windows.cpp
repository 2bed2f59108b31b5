// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/desktop.h"

#include <QDir>
#include <QUrl>
#include <QWidget>

#include <windows.h>
#include <shellapi.h>

namespace toolkit {

bool shellOpen(const QString &address)
{
    const std::optional<QUrl> url = openableAddress(address);
    if (!url)
        return false;
    // A file address opens the file itself, as the shell names it.
    const QString target
        = url->isLocalFile() ? QDir::toNativeSeparators(url->toLocalFile()) : url->toString(QUrl::FullyEncoded);
    // The shell's default action; it reports success with a value above 32.
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
        nullptr, nullptr, reinterpret_cast<const wchar_t *>(target.utf16()), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

void setForegroundWindow(QWidget *window)
{
    if (!window || !window->isVisible())
        return;
    ::SetForegroundWindow(reinterpret_cast<HWND>(window->winId()));
}

bool windowManagerReportsMinimise() { return true; }

} // namespace toolkit
