// SPDX-License-Identifier: GPL-3.0-or-later
// A form that puts its icon in the notification area through clsSystray and prints, one line
// each, what comes back: the component's balloon events and the outcome of adding the icon
// and of the balloons it posts. It runs until the test stops it.
#include "systray/clsSystray.h"
#include "toolkit/form.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QIcon probeIcon()
{
    QPixmap picture(22, 22);
    picture.fill(Qt::darkBlue);
    QPainter painter(&picture);
    painter.fillRect(5, 5, 12, 12, Qt::yellow);
    return QIcon(picture);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tray_probe"));

    toolkit::Form owner;
    owner.setWindowTitle(QStringLiteral("Tray probe"));
    owner.setWindowIcon(probeIcon());
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
