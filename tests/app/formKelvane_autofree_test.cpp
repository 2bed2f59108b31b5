// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic release from the tray and the setup dialog as the main window uses it. The
// release itself and the dialog's own controls are proved on their own.
#include "app/formKelvane.h"
#include "settings/settings_store.h"
#include "systray/clsSystray.h"
#include "tests/support/fake_block_source.h"
#include "tests/support/fake_kernel32.h"
#include "tests/support/qt_printers.h"
#include "toolkit/notifyshell.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString app = QStringLiteral("Copperline");
const QString section = QStringLiteral("Settings");

struct AutoFreeTest : ::testing::Test
{
    AutoFreeTest()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        kernel.setPhysMB(2000, 1500);
        window.Form_Load(); // peak 95, 10 MB from the empty store; usage 25 %
        timer1()->setEnabled(false);
        window.ShowTray();
    }
    ~AutoFreeTest() override { qputenv("XDG_CONFIG_HOME", previous); }

    toolkit::Timer *timer1() { return window.findChild<toolkit::Timer *>(QStringLiteral("Timer1")); }
    toolkit::ScrollBar *slider() { return window.findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1")); }
    QAction *autoFree() { return window.findChild<QAction *>(QStringLiteral("mnuAutoFree")); }
    bool inTray() { return window.trayIcon()->IsIconInTray(); }

    QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    FakeKernel32 kernel;
    FakeBlockSource blocks;
    toolkit::RecordingNotifyShell shell;
    formKelvane window{KelvaneServices{&kernel, &blocks, &shell}};
};

struct TriggerCase
{
    const char *name;
    bool shown;
    bool checked;
    std::int32_t peak;
    double totalMB, availMB;
    bool releases;
};

TEST_F(AutoFreeTest, triggerMatrix)
{
    const TriggerCase cases[] = {
        {"shown window", true, true, 95, 2000, 100, false},
        {"item unchecked", false, false, 95, 2000, 100, false},
        {"peak 95, free 0.05", false, true, 95, 2000, 100, true},
        {"peak 95, free 0.06", false, true, 95, 2000, 120, false},
        {"peak 50, free exactly 0.5", false, true, 50, 2000, 1000, true},
        {"peak 100, nothing free", false, true, 100, 2000, 0, true},
        {"peak 100, 1 MB free", false, true, 100, 2000, 1, false},
        {"peak 0 from a bad stored value", false, true, 0, 2000, 2000, true},
        {"zero total", false, true, 0, 0, 0, false},
    };
    for (const TriggerCase &c : cases) {
        SCOPED_TRACE(c.name);
        window.AutoKelvanePeak = c.peak;
        autoFree()->setChecked(c.checked);
        if (c.shown)
            window.HideTray();
        else
            window.ShowTray();
        kernel.setPhysMB(c.totalMB, c.availMB);
        const int before = blocks.makeCalls;
        window.RefreshStatus();
        EXPECT_EQ(blocks.makeCalls - before, c.releases ? 10 : 0);
        // An automatic release ends where it began: in the tray.
        EXPECT_EQ(window.isVisible(), c.shown);
        EXPECT_EQ(inTray(), !c.shown);
        EXPECT_EQ(blocks.live(), 0);
        EXPECT_TRUE(timer1()->isEnabled() || !c.releases);
        timer1()->setEnabled(false);
    }
}

TEST_F(AutoFreeTest, amountTakenAndLeftOnTheSlider)
{
    window.AutoKelvanePeak = 50;
    kernel.setPhysMB(2000, 100); // maximum 1950
    // {AutoKelvaneMB, blocks taken, slider afterwards}: out of the slider's or the 16-bit
    // range, the amount is refused and the slider's own value is used.
    const struct { std::int32_t megabytes; int taken; int after; } cases[] = {
        {300, 300, 300}, {40000, 300, 300}, {1951, 300, 300}, {-1, 300, 300}, {1950, 1950, 1950},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.megabytes);
        window.AutoKelvaneMB = c.megabytes;
        const int before = blocks.makeCalls;
        window.RefreshStatus();
        EXPECT_EQ(blocks.makeCalls - before, c.taken);
        EXPECT_EQ(slider()->value(), c.after);
        EXPECT_EQ(window.findChild<QPushButton *>(QStringLiteral("btnFree"))->text(),
                  QStringLiteral("Free %1 MB").arg(c.after));
    }
    // The release's closing refresh clamps the amount to the new, lower maximum.
    window.AutoKelvaneMB = 1950;
    blocks.onMake = [&](int) { kernel.setPhysMB(2000, 1000); }; // maximum 1500 once the run is over
    window.RefreshStatus();
    EXPECT_EQ(slider()->value(), 1500);
}

TEST_F(AutoFreeTest, aStopDuringTheReleaseStillReturnsToTheTray)
{
    window.AutoKelvanePeak = 50;
    kernel.setPhysMB(2000, 100);
    const int before = blocks.makeCalls;
    blocks.onMake = [&](int call) {
        if (call == before + 3)
            window.RefreshStatus(); // a click on the bar while the window is shown
    };
    window.RefreshStatus();
    EXPECT_EQ(blocks.makeCalls - before, 3);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(inTray());
}

TEST(AutoFreeAtStart, theFirstRefreshMayReleaseBeforeTheWindowIsShown)
{
    QTemporaryDir dir;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    ASSERT_TRUE(settings::SaveSetting(app, section, QStringLiteral("AutoKelvanePeak"), QStringLiteral("60")));
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768); // usage 62.5 %
    FakeBlockSource blocks;
    toolkit::RecordingNotifyShell shell;
    formKelvane window{KelvaneServices{&kernel, &blocks, &shell, QStringLiteral("/tray")}};
    window.Form_Load();
    EXPECT_EQ(blocks.makeCalls, 10);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.trayIcon()->IsIconInTray());
    qputenv("XDG_CONFIG_HOME", previous);
}

TEST_F(AutoFreeTest, setupDialogRoundTripWithAnEmptyStore)
{
    window.AutoKelvanePeak = 0;
    window.AutoKelvaneMB = 0;
    timer1()->setEnabled(true);
    window.mnuMemSetup_Click();
    QPointer<formKelvaneSetup> dialog = window.setupDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->UpdateKelvane);
    EXPECT_FALSE(timer1()->isEnabled()) << "no timed refresh, so no automatic release, while it is open";

    // Chosen again while open: the same dialog, only brought up.
    window.mnuMemSetup_Click();
    EXPECT_EQ(window.setupDialog(), dialog.data());

    // A release started meanwhile switches the timer on again when it ends.
    window.HideTray();
    window.btnFree_Click();
    EXPECT_TRUE(timer1()->isEnabled());
    timer1()->setEnabled(false);

    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()) << "loaded afresh at the next opening";
    EXPECT_EQ(window.AutoKelvanePeak, 95);
    EXPECT_EQ(window.AutoKelvaneMB, 10);
    EXPECT_TRUE(timer1()->isEnabled());
    EXPECT_EQ(settings::GetSetting(app, section, QStringLiteral("AutoKelvanePeak"), {}), QStringLiteral("95"));
    EXPECT_EQ(settings::GetSetting(app, section, QStringLiteral("AutoKelvaneMB"), {}), QStringLiteral("10"));
}

TEST_F(AutoFreeTest, closingTheMainWindowWithTheDialogOpenStoresAndEnds)
{
    ASSERT_TRUE(settings::SaveSetting(app, section, QStringLiteral("AutoKelvaneMB"), QStringLiteral("2000")));
    window.mnuMemSetup_Click();
    QPointer<formKelvaneSetup> dialog = window.setupDialog();
    QSignalSpy unloaded(&window, &formKelvane::Unloaded);
    window.mnuExit_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(dialog.isNull());
    // The dialog could not show 2000 and stored what it showed.
    EXPECT_EQ(settings::GetSetting(app, section, QStringLiteral("AutoKelvaneMB"), {}), QStringLiteral("10"));
    EXPECT_EQ(settings::GetSetting(app, section, QStringLiteral("KelvaneTray"), {}), QStringLiteral("0"));
}

} // namespace
