// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"
#include "app/formKelvane.h"
#include "memory/system_memory.h"
#include "toolkit/display.h"
#include "toolkit/single_instance.h"
#include "kelvane_version.h"

#include <QApplication>

#include <new>
#include <optional>

namespace {

int run(int argc, char *argv[])
{
    QString why;
    if (!toolkit::displayAvailable(&why) || !toolkit::addressSpaceForStart(&why))
        return cli::complain(why, cli::Failed);

    // One instance per user and login: a second start ends here, quietly and successfully,
    // before it shows, reads or writes anything. The lock is held until the program ends.
    const toolkit::InstanceLock instance(QStringLiteral("kelvane.lock"));
    if (instance.anotherInstanceRuns())
        return 0;
    toolkit::quietMissingRuntimeDirNotice();

    std::optional<toolkit::FramesOverConnection> frames(std::in_place);
    QApplication app(argc, argv);
    frames.reset();
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationVersion(QString::fromLatin1(toolkit::version::text));
    QApplication::setDesktopFileName(QStringLiteral("kelvane"));
    // The program lives on in the tray with no window shown: it ends when the main window is
    // unloaded, not when the last visible window (the setup dialog, say) closes.
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    const auto kernel = memory::systemKernel32();
    const auto blocks = memory::systemBlockSource();
    formKelvane window(KelvaneServices{kernel.get(), blocks.get(), nullptr, cli::startCommandLine(arguments)});
    QObject::connect(&window, &formKelvane::Unloaded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    toolkit::closeOnTerminationSignals(&window);
    window.Form_Load();
    if (!window.startsInTray())
        window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    try {
        // The command options answer before any display check or lock, and touch no settings.
        if (const auto status = cli::runCommand(argc, argv))
            return *status;
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        // Memory or address space ran out before the program was up (a tight ulimit, say).
        return cli::complain(QStringLiteral("not enough memory to start"), cli::Failed);
    }
}
