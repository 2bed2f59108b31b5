// SPDX-License-Identifier: GPL-3.0-or-later
// Puts an icon in the tray through clsSystray and prints what comes back, a line each, until stopped.
#include "systray/clsSystray.h"
#include "toolkit/form.h"

#include <QApplication>
#include <QStyle>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tray_probe"));

    toolkit::Form owner;
    owner.setWindowTitle(QStringLiteral("Tray probe"));
    owner.setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
    auto *tray = new clsSystray;
    const auto plain = [](const char *name) { return [name] { say(QLatin1String(name)); }; };
    QObject::connect(tray, &clsSystray::BalloonClicked, plain("BalloonClicked"));
    QObject::connect(tray, &clsSystray::BalloonShow, plain("BalloonShow"));
    QObject::connect(tray, &clsSystray::BalloonHide, plain("BalloonHide"));
    QObject::connect(tray, &clsSystray::BalloonTimeout, plain("BalloonTimeout"));

    say(QStringLiteral("SetOwner %1").arg(tray->SetOwner(&owner)));
    say(QStringLiteral("AddIconToTray %1").arg(tray->AddIconToTray(owner.iconHandle(), QStringLiteral("Tray probe"), true)));
    // A warning withdrawn at once, before the desktop can have answered, then an error.
    say(QStringLiteral("ShowBalloon %1").arg(tray->ShowBalloon(QStringLiteral("Memory is low"), QStringLiteral("Tray probe"), 2, 5000)));
    say(QStringLiteral("HideBalloon %1").arg(tray->HideBalloon()));
    say(QStringLiteral("ShowBalloon %1").arg(tray->ShowBalloon(QStringLiteral("Out of memory"), QStringLiteral("Tray probe"), 3 + 16, 60000)));
    // A click on it brings a plain information balloon.
    QObject::connect(tray, &clsSystray::BalloonClicked, tray, [tray] {
        say(QStringLiteral("ShowBalloon %1").arg(tray->ShowBalloon(QStringLiteral("Freed"), QStringLiteral("Tray probe"), 1, 0)));
    });
    const int status = QApplication::exec();
    delete tray;
    return status;
}
