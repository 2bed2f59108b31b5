// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window on fake memory figures, fake blocks and a recording tray shell.
#include "app/formKelvane.h"
#include "tests/support/fake_block_source.h"
#include "tests/support/fake_kernel32.h"
#include "tests/support/qt_printers.h"
#include "toolkit/notifyshell.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"

#include <QLocale>
#include <QPushButton>

struct KelvaneRig
{
    // 2048 MB with 768 MB free: usage 62.5 %, slider maximum 1664. Timer1 is off so timed
    // refreshes cannot race the test's steps.
    explicit KelvaneRig(const QString &commandLine = {})
        : window(KelvaneServices{&kernel, &blocks, &shell, commandLine})
    {
        kernel.setPhysMB(2048, 768);
        timer1()->setEnabled(false);
    }
    template<typename T = QWidget> T *control(const char *name) const
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }
    toolkit::Timer *timer1() const { return control<toolkit::Timer>("Timer1"); }
    toolkit::ScrollBar *slider() const { return control<toolkit::ScrollBar>("HScroll1"); }
    QPushButton *button() const { return control<QPushButton>("btnFree"); }
    bool inTray() const { return window.trayIcon() && window.trayIcon()->IsIconInTray(); }

    FakeKernel32 kernel;
    FakeBlockSource blocks;
    toolkit::RecordingNotifyShell shell;
    formKelvane window;
};

// United States number formats while the object lives.
struct EnglishLocale
{
    EnglishLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~EnglishLocale() { QLocale::setDefault(QLocale::c()); }
};
