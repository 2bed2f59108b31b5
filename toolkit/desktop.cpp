// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/desktop.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#include <QWidget>

namespace toolkit {

bool shellOpen(const QString &address)
{
    const std::optional<QUrl> url = openableAddress(address);
    if (!url)
        return false;
    return QDesktopServices::openUrl(*url);
}

void setForegroundWindow(QWidget *window)
{
    if (!window || !window->isVisible())
        return;
    window->raise();
    window->activateWindow();
}

bool windowManagerReportsMinimise()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace toolkit
