// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/formKelvane.h"
#include "tests/support/fake_block_source.h"
#include "tests/support/fake_kernel32.h"
#include "toolkit/label.h"
#include "toolkit/picturebox.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

constexpr std::uint64_t MiB = 1ull << 20;

// What the window shows at one moment of a run.
struct Snapshot
{
    QString button;
    bool cancelIsFree = false;
    bool sliderEnabled = true;
    bool timer1Enabled = true;
    QString barLabel;
    QString title;
    bool stopRequested = true;
    QRect bar;
};

struct ReleaseWindowTest : ::testing::Test
{
    ReleaseWindowTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        kernel.setPhysMB(2048, 768);
        timer1()->setEnabled(false);
        window.RefreshStatus(); // slider maximum 1664
    }
    ~ReleaseWindowTest() override { QLocale::setDefault(QLocale::c()); }

    template<typename T> T *control(const char *name) { return window.findChild<T *>(QString::fromLatin1(name)); }
    QPushButton *button() { return control<QPushButton>("btnFree"); }
    toolkit::ScrollBar *slider() { return control<toolkit::ScrollBar>("HScroll1"); }
    toolkit::Timer *timer1() { return control<toolkit::Timer>("Timer1"); }
    QWidget *bar() { return control<QWidget>("Picture2"); }

    Snapshot snapshot()
    {
        return Snapshot{button()->text(),
                        window.cancelButton() == button(),
                        slider()->isEnabled(),
                        timer1()->isEnabled(),
                        control<QLabel>("lblKelvane")->text(),
                        window.windowTitle(),
                        window.stopRequested(),
                        bar()->geometry()};
    }
    void expectIdle(int amount)
    {
        const Snapshot s = snapshot();
        EXPECT_EQ(s.button, QStringLiteral("Free %1 MB").arg(amount));
        EXPECT_FALSE(s.cancelIsFree);
        EXPECT_TRUE(s.sliderEnabled);
        EXPECT_TRUE(s.timer1Enabled);
        EXPECT_EQ(s.barLabel, QStringLiteral("37.5%"));
        EXPECT_EQ(s.bar, QRect(-2, -2, 69, 24)); // the free share again, 183 px * 0.375
    }
    void showActive()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    FakeKernel32 kernel;
    FakeBlockSource blocks;
    formKelvane window{KelvaneServices{&kernel, &blocks}};
};

TEST_F(ReleaseWindowTest, captionShowsTheAmountAsAPlainNumber)
{
    ASSERT_TRUE(slider()->setMaximum(32767));
    for (const int amount : {10, 0, 1664, 32767}) {
        ASSERT_TRUE(slider()->setValue(amount));
        EXPECT_EQ(button()->text(), QStringLiteral("Free %1 MB").arg(amount));
    }
    EXPECT_EQ(button()->text(), QStringLiteral("Free 32767 MB")); // no digit grouping
}

TEST_F(ReleaseWindowTest, amountAboveTheMaximumIsClampedBeforeTheCaptionIsWritten)
{
    ASSERT_TRUE(slider()->setMaximum(32767));
    ASSERT_TRUE(slider()->setValue(3000));
    ASSERT_TRUE(slider()->setMaximum(1664)); // the value stays above it until clamped
    window.HScroll1_Change();
    EXPECT_EQ(slider()->value(), 1664);
    EXPECT_EQ(button()->text(), QStringLiteral("Free 1664 MB"));
}

TEST_F(ReleaseWindowTest, aRunShowsTheRunningStateAndRestoresTheIdleOne)
{
    ASSERT_TRUE(slider()->setValue(2));
    const int probesBefore = kernel.extendedCalls;
    QSignalSpy titles(&window, &QWidget::windowTitleChanged);
    std::vector<Snapshot> during;
    blocks.onMake = [&](int) { during.push_back(snapshot()); };

    button()->click();

    ASSERT_EQ(during.size(), 2u);
    for (const Snapshot &s : during) {
        EXPECT_EQ(s.button, QStringLiteral("&Stop"));
        EXPECT_TRUE(s.cancelIsFree);
        EXPECT_FALSE(s.sliderEnabled);
        EXPECT_FALSE(s.timer1Enabled);
        EXPECT_EQ(s.barLabel, QString());
        EXPECT_EQ(s.title, QStringLiteral("768.0MB Kelvane v1.0"));
        EXPECT_FALSE(s.stopRequested);
    }
    // The start caption is written, and the first status display replaces it at once.
    ASSERT_GE(titles.size(), 2);
    EXPECT_EQ(titles.at(0).at(0).toString(), QStringLiteral("Trying to Kelvane..."));
    EXPECT_EQ(titles.at(1).at(0).toString(), QStringLiteral("768.0MB Kelvane v1.0"));
    // One display before the run, one per step, one in the closing refresh.
    EXPECT_EQ(kernel.extendedCalls - probesBefore, 2 + 2);
    EXPECT_EQ(blocks.released, (std::vector<int>{1, 2}));
    expectIdle(2);
}

TEST_F(ReleaseWindowTest, progressBarShowsStepOverAmount)
{
    ASSERT_TRUE(slider()->setValue(4));
    std::vector<QRect> bars;
    blocks.onMake = [&](int) { bars.push_back(bar()->geometry()); };
    button()->click();
    // 183 px of Picture1 times 1/4, 2/4, 3/4, 4/4; two pixels up and left; height kept.
    EXPECT_EQ(bars, (std::vector<QRect>{{-2, -2, 46, 24}, {-2, -2, 92, 24}, {-2, -2, 137, 24}, {-2, -2, 183, 24}}));
}

TEST_F(ReleaseWindowTest, amountZeroTakesNoStepButStillRestores)
{
    ASSERT_TRUE(slider()->setValue(0));
    const int probesBefore = kernel.extendedCalls;
    button()->click();
    EXPECT_EQ(blocks.makeCalls, 0);
    EXPECT_EQ(kernel.extendedCalls - probesBefore, 2); // before the loop and the closing refresh
    expectIdle(0);
}

TEST_F(ReleaseWindowTest, stepsPastTheLastSlotTakeNoMemoryButStillShowStatus)
{
    kernel.setPhysMB(16384, 6144); // a maximum of 13312 leaves room for 4100
    window.RefreshStatus();
    ASSERT_TRUE(slider()->setValue(4100));
    const int probesBefore = kernel.extendedCalls;
    QRect lastBar;
    blocks.onMake = [&](int) { lastBar = bar()->geometry(); };
    button()->click();
    EXPECT_EQ(blocks.makeCalls, 4096);
    EXPECT_EQ(blocks.peakLive, 4096);
    EXPECT_EQ(blocks.live(), 0);
    EXPECT_EQ(kernel.extendedCalls - probesBefore, 4100 + 2);
    EXPECT_EQ(lastBar.width(), 183); // 4096 / 4100 of the bar
    expectIdle(4100);
}

TEST_F(ReleaseWindowTest, blocksThatCannotBeMadeAreSkippedAndTheRunGoesOn)
{
    ASSERT_TRUE(slider()->setValue(5));
    blocks.failingCalls = {2, 3};
    button()->click();
    EXPECT_EQ(blocks.makeCalls, 5);
    EXPECT_EQ(blocks.released, (std::vector<int>{1, 4, 5}));
    expectIdle(5);
}

TEST_F(ReleaseWindowTest, sliderIsClampedToTheMaximumOfTheClosingRefresh)
{
    ASSERT_TRUE(slider()->setValue(600));
    blocks.onMake = [&](int call) {
        if (call == 1)
            kernel.setPhysMB(1024, 1024); // maximum 1024 - 512
    };
    button()->click();
    EXPECT_EQ(slider()->maximum(), 512);
    EXPECT_EQ(slider()->value(), 512);
    EXPECT_EQ(button()->text(), QStringLiteral("Free 512 MB"));
}

TEST_F(ReleaseWindowTest, clampDuringARunKeepsStopSoTheNextClickStopsInsteadOfStartingAnother)
{
    ASSERT_TRUE(slider()->setValue(600));
    QString captionAfterClamp;
    blocks.onMake = [&](int call) {
        if (call != 2)
            return;
        kernel.setPhysMB(1024, 1024); // the refresh below lowers the maximum to 512
        window.findChild<toolkit::Label *>(QStringLiteral("lblStatus"))->clicked();
        captionAfterClamp = button()->text();
        button()->click(); // a second request in the same event turn
    };
    button()->click();
    EXPECT_EQ(captionAfterClamp, QStringLiteral("&Stop"));
    EXPECT_EQ(blocks.makeCalls, 2); // stopped; no second run started
    EXPECT_EQ(button()->text(), QStringLiteral("Free 512 MB"));
}

TEST_F(ReleaseWindowTest, escapeClicksTheButtonOnlyDuringARun)
{
    showActive();
    ASSERT_TRUE(slider()->setValue(3));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(blocks.makeCalls, 0);
    EXPECT_EQ(button()->text(), QStringLiteral("Free 3 MB"));

    button()->click();
    ASSERT_EQ(blocks.makeCalls, 3);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(blocks.makeCalls, 3);
    EXPECT_EQ(window.cancelButton(), nullptr);
    expectIdle(3);
}

// Every way of asking a run to stop, sent while block 3 is being made, so the request is
// seen in the event turn of step 4.
class ReleaseStopTest : public ReleaseWindowTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(ReleaseStopTest, stopEndsTheRunBeforeTheNextBlockAndReleasesTheHeldOnes)
{
    showActive();
    ASSERT_TRUE(slider()->setValue(10));
    const QString trigger = QString::fromLatin1(GetParam());
    int heldAtStop = -1;
    std::size_t releasedAtStop = 99;
    blocks.onMake = [&](int call) {
        if (call != 3)
            return;
        QTimer::singleShot(0, &window, [&] {
            heldAtStop = blocks.live();
            releasedAtStop = blocks.released.size();
            if (trigger == QLatin1String("Escape")) {
                QTest::keyClick(&window, Qt::Key_Escape);
            } else {
                auto *target = window.findChild<QWidget *>(trigger);
                QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, target->height() / 2));
            }
        });
    };

    button()->click();

    EXPECT_EQ(heldAtStop, 3);
    EXPECT_EQ(releasedAtStop, 0u);
    EXPECT_EQ(blocks.makeCalls, 3);
    EXPECT_EQ(blocks.released, (std::vector<int>{1, 2, 3}));
    expectIdle(10);
}

INSTANTIATE_TEST_SUITE_P(Triggers, ReleaseStopTest,
                         ::testing::Values("btnFree", "Escape", "lblStatus", "Picture1", "Picture2", "lblKelvane"));

// The window closed in the middle of a run, as the close box or a termination signal would:
// the run stops at its next step and gives everything back, then the window closes once and
// the event loop ends, as the program's would. The window deletes itself on close, so a
// step that touched it afterwards would be caught by the address sanitizer.
TEST(ReleaseWindowClose, closeDuringARunStopsItReleasesEverythingThenClosesOnce)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768);
    FakeBlockSource blocks;
    auto *window = new formKelvane(KelvaneServices{&kernel, &blocks});
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<formKelvane> alive(window);
    window->RefreshStatus();
    ASSERT_TRUE(window->findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1"))->setValue(10));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    int closeEvents = 0;
    struct CloseCounter final : QObject
    {
        int *count;
        explicit CloseCounter(int *c)
            : count(c)
        {
        }
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Close)
                ++*count;
            return false;
        }
    } counter(&closeEvents);
    window->installEventFilter(&counter);

    int liveAtDestruction = -1;
    QObject::connect(window, &QObject::destroyed, [&] { liveAtDestruction = blocks.live(); });
    int lastWindowClosed = 0;
    const auto lastConnection =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++lastWindowClosed; });
    blocks.onMake = [&](int call) {
        if (call == 3)
            QTimer::singleShot(0, window, [window] {
                window->close();
                window->close(); // asked twice, closed once
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
    QObject::disconnect(lastConnection);

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(blocks.makeCalls, 3);
    EXPECT_EQ(blocks.released, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(closeEvents, 3); // two put off during the run, one carried out after it
    EXPECT_EQ(lastWindowClosed, 1);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(liveAtDestruction, 0);
    delete alive.data();
}

std::uint64_t residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toULongLong() * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

QByteArray oomScore()
{
    QFile file(QStringLiteral("/proc/self/oom_score_adj"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A real run with the window's own mapped blocks: resident memory is sampled in every
// event turn of the run; at step 100, 99 blocks (198 MiB) are held.
TEST(ReleaseWindowRealMemory, hundredBlocksRaiseResidentMemoryAndGiveItBackAfterwards)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768);
    formKelvane window(KelvaneServices{&kernel, nullptr});
    window.RefreshStatus();
    ASSERT_TRUE(window.findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1"))->setValue(100));
    const QByteArray oomBefore = oomScore();

    // Warm up the paths a run takes (text layout, timers), so the baseline holds them too.
    ASSERT_TRUE(window.findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1"))->setValue(0));
    window.btnFree_Click();
    ASSERT_TRUE(window.findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1"))->setValue(100));

    const std::uint64_t before = residentBytes();
    std::uint64_t peak = 0;
    QByteArray oomAtPeak;
    int samples = 0;
    QTimer sampler;
    sampler.setInterval(0);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++samples;
        const std::uint64_t now = residentBytes();
        if (now > peak) {
            peak = now;
            oomAtPeak = oomScore();
        }
    });
    sampler.start();
    window.btnFree_Click();
    sampler.stop();
    const std::uint64_t after = residentBytes();

    // The address sanitizer keeps one shadow byte per eight bytes the blocks covered.
#ifdef __SANITIZE_ADDRESS__
    constexpr std::uint64_t shadow = 100 * 2 * MiB / 8;
#else
    constexpr std::uint64_t shadow = 0;
#endif
    ASSERT_GE(samples, 100);
    ASSERT_GT(peak, before);
    EXPECT_GE(peak - before, 99 * 2 * MiB - 2 * MiB);
    EXPECT_LE(peak - before, 100 * 2 * MiB + 16 * MiB + shadow);
    EXPECT_LT(after > before ? after - before : 0, 8 * MiB + shadow);
    EXPECT_EQ(oomAtPeak, QByteArray("1000\n"));
    EXPECT_EQ(oomScore(), oomBefore);
    std::printf("resident: before %.1f MiB, peak %.1f MiB, after %.1f MiB\n", static_cast<double>(before) / MiB,
                static_cast<double>(peak) / MiB, static_cast<double>(after) / MiB);
}

} // namespace
