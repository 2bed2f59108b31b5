// SPDX-License-Identifier: GPL-3.0-or-later
// The release as the window shows it. What the run itself does with its blocks (slot cap,
// failed blocks, amounts of 0, the 16-bit counter) is proved on the engine.
#include "kelvane_rig.h"
#include "toolkit/label.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct ReleaseWindowTest : ::testing::Test, EnglishLocale, KelvaneRig
{
    ReleaseWindowTest()
    {
        window.AutoKelvanePeak = 95; // as loaded: at 0 the hidden window would free at every refresh
        window.RefreshStatus();      // slider maximum 1664
    }

    QWidget *bar() const { return control("Picture2"); }
    QString barLabel() const { return control<QLabel>("lblKelvane")->text(); }
    void expectIdle(int amount)
    {
        EXPECT_EQ(button()->text(), QStringLiteral("Free %1 MB").arg(amount));
        EXPECT_EQ(window.cancelButton(), nullptr);
        EXPECT_TRUE(slider()->isEnabled());
        EXPECT_TRUE(timer1()->isEnabled());
        EXPECT_EQ(bar()->geometry(), QRect(-2, -2, 69, 24)); // the closing refresh: the free share
    }
};

// During a run a refresh may clamp the slider, but "&Stop" stays so the next click stops the
// run instead of starting another. (The idle caption's digits: formKelvane_status_test.)
TEST_F(ReleaseWindowTest, captionFollowsTheClampedAmountAndKeepsStopDuringARun)
{
    ASSERT_TRUE(slider()->setValue(600));
    QString captionAfterClamp;
    blocks.onMake = [&](int call) {
        if (call != 2)
            return;
        kernel.setPhysMB(1024, 1024); // the refresh below lowers the maximum to 512
        control<toolkit::Label>("lblStatus")->clicked();
        captionAfterClamp = button()->text();
        button()->click(); // a second request in the same event turn
    };
    button()->click();
    EXPECT_EQ(captionAfterClamp, QStringLiteral("&Stop"));
    EXPECT_EQ(blocks.makeCalls, 2); // stopped; no second run started
    EXPECT_EQ(slider()->value(), 512);
    EXPECT_EQ(button()->text(), QStringLiteral("Free 512 MB"));
}

TEST_F(ReleaseWindowTest, everyStepShowsTheRunningStateAndProgressThenTheIdleStateReturns)
{
    ASSERT_TRUE(slider()->setValue(4));
    timer1()->setEnabled(true); // as after start-up
    const int probesBefore = kernel.extendedCalls;
    QSignalSpy titles(&window, &QWidget::windowTitleChanged);
    std::vector<QRect> bars;
    blocks.onMake = [&](int) {
        bars.push_back(bar()->geometry());
        EXPECT_EQ(button()->text(), QStringLiteral("&Stop"));
        EXPECT_EQ(window.cancelButton(), button());
        EXPECT_FALSE(slider()->isEnabled());
        EXPECT_FALSE(timer1()->isEnabled());
        EXPECT_EQ(barLabel(), QString());
        EXPECT_EQ(window.windowTitle(), QStringLiteral("768.0MB Kelvane v1.0"));
        EXPECT_FALSE(window.stopRequested());
    };

    button()->click();

    // 183 px of Picture1 times 1/4 to 4/4; two pixels up and left; height kept.
    EXPECT_EQ(bars, (std::vector<QRect>{{-2, -2, 46, 24}, {-2, -2, 92, 24}, {-2, -2, 137, 24}, {-2, -2, 183, 24}}));
    // The start caption is written; the steps above saw the status display replace it.
    ASSERT_FALSE(titles.isEmpty());
    EXPECT_EQ(titles.at(0).at(0).toString(), QStringLiteral("Trying to Kelvane..."));
    EXPECT_EQ(kernel.extendedCalls - probesBefore, 1 + 4 + 1); // before the loop, per step, closing refresh
    expectIdle(4);
}

// Every way of asking a run to stop, sent while block 3 is being made, so the request is
// seen in the event turn of step 4.
class ReleaseStopTest : public ReleaseWindowTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(ReleaseStopTest, stopEndsTheRunBeforeTheNextBlockAndReleasesTheHeldOnes)
{
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_TRUE(slider()->setValue(10));
    const QString trigger = QString::fromLatin1(GetParam());
    blocks.onMake = [&](int call) {
        if (call != 3)
            return;
        QTimer::singleShot(0, &window, [&] {
            if (trigger == QLatin1String("Escape"))
                return QTest::keyClick(&window, Qt::Key_Escape);
            auto *target = window.findChild<QWidget *>(trigger);
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, target->height() / 2));
        });
    };

    button()->click();

    EXPECT_EQ(blocks.released, (std::vector<int>{1, 2, 3}));
    expectIdle(10);
    QTest::keyClick(&window, Qt::Key_Escape); // outside a run Escape clicks nothing
    EXPECT_EQ(blocks.makeCalls, 3);
}

INSTANTIATE_TEST_SUITE_P(Triggers, ReleaseStopTest,
                         ::testing::Values("btnFree", "Escape", "lblStatus", "Picture1", "Picture2", "lblKelvane"));

// Closed during a run (close box, termination signal): the run stops and gives everything
// back, then the window closes once. It deletes itself, so a late touch shows under ASan.
TEST(ReleaseWindowClose, closeDuringARunStopsItReleasesEverythingThenClosesOnce)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768);
    FakeBlockSource blocks;
    auto *window = new formKelvane(KelvaneServices{&kernel, &blocks});
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<formKelvane> alive(window);
    window->AutoKelvanePeak = 95;
    window->RefreshStatus();
    ASSERT_TRUE(window->findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1"))->setValue(10));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    int liveAtDestruction = -1;
    QObject::connect(window, &QObject::destroyed, [&] { liveAtDestruction = blocks.live(); });
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    blocks.onMake = [&](int call) {
        if (call == 3)
            QTimer::singleShot(0, window, [window] {
                window->close();
                window->close(); // asked twice: both put off until the run is over
            });
    };
    bool timedOut = false;
    QTimer::singleShot(10000, qApp, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, window, [window] { window->findChild<QPushButton *>(QStringLiteral("btnFree"))->click(); });

    QApplication::exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(blocks.released, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(lastWindowClosed.count(), 1);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(liveAtDestruction, 0);
    delete alive.data();
}

} // namespace
