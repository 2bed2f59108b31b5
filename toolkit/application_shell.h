// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/notifyshell.h"

#include <QApplication>
#include <QPointer>

namespace toolkit {

// The program's shell of type `Shell`, made at the first call and owned by the application,
// so that its icons go before Qt does; a shell that refuses everything while there is no
// QApplication (yet): tray icons are widgets underneath.
template <class Shell>
NotifyShell &applicationShell()
{
    struct NoShell final : NotifyShell
    {
        bool Shell_NotifyIconW(std::uint32_t, const NotifyIconData &) override { return false; }
    };
    static NoShell none;
    static QPointer<Shell> shell;
    if (!shell) {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        if (!app)
            return none;
        shell = new Shell(app);
    }
    return *shell;
}

} // namespace toolkit
