// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic release from the tray and the setup dialog as the main window uses it. The
// release itself and the dialog's own controls are proved on their own.
#include "kelvane_rig.h"
#include "tests/support/settings_folder.h"

#include <QAction>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct AutoFreeTest : ::testing::Test, SettingsFolder, KelvaneRig
{
    AutoFreeTest()
    {
        kernel.setPhysMB(2000, 1500);
        window.Form_Load(); // peak 95, 10 MB from the empty store; usage 25 %
        timer1()->setEnabled(false);
        window.ShowTray();
    }
    // Blocks taken by one refresh.
    int refreshTakes()
    {
        const int before = blocks.makeCalls;
        window.RefreshStatus();
        return blocks.makeCalls - before;
    }
};

TEST_F(AutoFreeTest, triggerMatrix)
{
    // Window shown, item checked, peak, total and free MB, release.
    const std::tuple<const char *, bool, bool, std::int32_t, double, double, bool> cases[] = {
        {"shown window", true, true, 95, 2000, 100, false},
        {"item unchecked", false, false, 95, 2000, 100, false},
        {"peak 95, free 0.05", false, true, 95, 2000, 100, true},
        {"peak 95, free 0.06", false, true, 95, 2000, 120, false},
        {"peak 100, nothing free", false, true, 100, 2000, 0, true},
        {"peak 100, 1 MB free", false, true, 100, 2000, 1, false},
        {"peak 0 from a bad stored value", false, true, 0, 2000, 2000, true},
        {"zero total", false, true, 0, 0, 0, false},
    };
    for (const auto &[name, shown, checked, peak, totalMB, availMB, releases] : cases) {
        SCOPED_TRACE(name);
        window.AutoKelvanePeak = peak;
        control<QAction>("mnuAutoFree")->setChecked(checked);
        shown ? window.HideTray() : window.ShowTray();
        kernel.setPhysMB(totalMB, availMB);
        EXPECT_EQ(refreshTakes(), releases ? 10 : 0);
        // An automatic release ends where it began: in the tray (the blocks go back as in any
        // release, release_engine_test).
        EXPECT_EQ(window.isVisible(), shown);
        EXPECT_EQ(inTray(), !shown);
        EXPECT_TRUE(timer1()->isEnabled() || !releases);
        timer1()->setEnabled(false);
    }
}

TEST_F(AutoFreeTest, amountOutOfTheSliderOr16BitRangeIsRefusedAndTheSlidersOwnIsTaken)
{
    window.AutoKelvanePeak = 50;
    kernel.setPhysMB(2000, 100); // maximum 1950
    // AutoKelvaneMB, blocks taken (and the slider's value afterwards).
    const std::pair<std::int32_t, int> cases[] = {{300, 300}, {40000, 300}, {1951, 300}, {-1, 300}, {1950, 1950}};
    for (const auto &[megabytes, taken] : cases) {
        window.AutoKelvaneMB = megabytes;
        EXPECT_EQ(refreshTakes(), taken) << megabytes;
        EXPECT_EQ(slider()->value(), taken) << megabytes;
    }
}

TEST_F(AutoFreeTest, aStopDuringTheReleaseStillReturnsToTheTray)
{
    window.AutoKelvanePeak = 50;
    kernel.setPhysMB(2000, 100);
    blocks.onMake = [&](int call) {
        if (call == 3)
            window.RefreshStatus(); // a click on the bar while the window is shown
    };
    EXPECT_EQ(refreshTakes(), 3);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(inTray());
}

TEST(AutoFreeAtStart, theFirstRefreshMayReleaseBeforeTheWindowIsShown)
{
    SettingsFolder folder;
    ASSERT_TRUE(folder.store(QStringLiteral("AutoKelvanePeak"), QStringLiteral("60")));
    KelvaneRig w(QStringLiteral("/tray")); // usage 62.5 %
    w.window.Form_Load();
    EXPECT_EQ(w.blocks.makeCalls, 10);
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_TRUE(w.inTray());
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

    window.mnuMemSetup_Click(); // chosen again while open: the same dialog, only brought up
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
}

TEST_F(AutoFreeTest, closingTheMainWindowWithTheDialogOpenStoresAndEnds)
{
    ASSERT_TRUE(store(QStringLiteral("AutoKelvaneMB"), QStringLiteral("2000")));
    window.mnuMemSetup_Click();
    QPointer<formKelvaneSetup> dialog = window.setupDialog();
    QSignalSpy unloaded(&window, &formKelvane::Unloaded);
    window.mnuExit_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(stored(QStringLiteral("AutoKelvaneMB")), QStringLiteral("10")); // it could not show 2000
}

} // namespace
