// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/formKelvane.h"
#include "memory/linux_kernel32.h"
#include "memory/mmap_block_source.h"
#include "toolkit/display.h"
#include "kelvane_version.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QString why;
    if (!toolkit::displayAvailable(&why)) {
        std::fprintf(stderr, "kelvane: %s\n", qPrintable(why));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    QApplication::setApplicationVersion(QString::fromLatin1(toolkit::version::text));
    QApplication::setDesktopFileName(QStringLiteral("kelvane"));

    memory::LinuxKernel32 kernel;
    memory::MmapBlockSource blocks;
    formKelvane window(KelvaneServices{&kernel, &blocks});
    toolkit::closeOnTerminationSignals(&window);
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
