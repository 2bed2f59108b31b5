// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/desktop.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#include <QWidget>

namespace toolkit {

bool shellOpen(const QString &address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return false;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
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
