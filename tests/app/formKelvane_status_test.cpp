// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/formKelvane.h"
#include "app/status_texts.h"
#include "tests/support/fake_kernel32.h"
#include "tests/support/qt_printers.h"
#include "toolkit/label.h"
#include "toolkit/picturebox.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct StatusWindowTest : ::testing::Test
{
    StatusWindowTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        kernel.setPhysMB(2048, 768);
        window.AutoKelvanePeak = 95; // as loaded; the hidden test window must not free by itself
        // Timed refreshes would race the test's own steps.
        window.findChild<toolkit::Timer *>(QStringLiteral("Timer1"))->setEnabled(false);
    }
    ~StatusWindowTest() override { QLocale::setDefault(QLocale::c()); }

    template<typename T> T *control(const char *name) { return window.findChild<T *>(QString::fromLatin1(name)); }
    QString statusLine() { return control<QLabel>("lblStatus")->text(); }
    toolkit::ScrollBar *slider() { return control<toolkit::ScrollBar>("HScroll1"); }

    FakeKernel32 kernel;
    formKelvane window{KelvaneServices{&kernel}};
};

TEST_F(StatusWindowTest, startsWithDesignTexts)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kelvane"));
    EXPECT_EQ(statusLine(), QString());
    EXPECT_EQ(control<QLabel>("lblKelvane")->text(), QStringLiteral("0%"));
    EXPECT_EQ(slider()->maximum(), 32767);
    EXPECT_EQ(window.size(), QSize(312, 114));
}

TEST(StatusWindowTimers, bothTimersRunFromCreationAndTimer1Refreshes)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768);
    formKelvane window{KelvaneServices{&kernel}};
    auto *timer1 = window.findChild<toolkit::Timer *>(QStringLiteral("Timer1"));
    auto *timer2 = window.findChild<toolkit::Timer *>(QStringLiteral("Timer2"));
    EXPECT_TRUE(timer1->isEnabled());
    EXPECT_TRUE(timer2->isEnabled());
    EXPECT_EQ(timer1->interval(), 3000);
    EXPECT_EQ(timer2->interval(), 1000);
    ASSERT_TRUE(QMetaObject::invokeMethod(timer1, "timeout", Qt::DirectConnection));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("768.0MB Kelvane v1.0"));
}

TEST_F(StatusWindowTest, workedExampleTextsAndSlider)
{
    window.RefreshStatus();
    EXPECT_EQ(statusLine(), QStringLiteral("Free: 768.0 MB - Usage: 62.5% of 2048.0 MB"));
    EXPECT_EQ(control<QLabel>("lblStatus")->toolTip(), QStringLiteral("Free: 786,432.0 KB"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("768.0MB Kelvane v1.0"));
    EXPECT_EQ(slider()->maximum(), 1664);
    EXPECT_EQ(control<QLabel>("lblKelvane")->text(), QStringLiteral("37.5%"));
    EXPECT_EQ(control<QLabel>("lblKelvane")->toolTip(), QStringLiteral("786,432.0 KB RAM"));
    EXPECT_TRUE(window.stopRequested());

    // The bar: 37.5% of Picture1, starting two pixels up and left; the label follows its width.
    auto *bar = control<toolkit::PictureBox>("Picture2");
    EXPECT_EQ(bar->geometry(), QRect(-2, -2, 69, 24)); // 183 px * 0.375 = 68.6
    EXPECT_EQ(control<QLabel>("lblKelvane")->width(), bar->width());
}

TEST_F(StatusWindowTest, germanLocaleUsesCommaAndPoint)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    window.RefreshStatus();
    EXPECT_EQ(statusLine(), QStringLiteral("Free: 768,0 MB - Usage: 62,5% of 2048,0 MB"));
    EXPECT_EQ(control<QLabel>("lblStatus")->toolTip(), QStringLiteral("Free: 786.432,0 KB"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("768,0MB Kelvane v1.0"));
}

TEST_F(StatusWindowTest, allFreeFillsTheBarAndOffersHalf)
{
    kernel.setPhysMB(1024, 1024);
    window.RefreshStatus();
    EXPECT_EQ(slider()->maximum(), 512);
    EXPECT_EQ(control<QWidget>("Picture2")->width(), control<QWidget>("Picture1")->width());
    EXPECT_EQ(control<QLabel>("lblKelvane")->text(), QStringLiteral("100.0%"));
}

TEST_F(StatusWindowTest, sliderValueAboveNewMaximumDropsToIt)
{
    ASSERT_TRUE(slider()->setValue(3000));
    window.RefreshStatus();
    EXPECT_EQ(slider()->value(), 1664);
}

TEST_F(StatusWindowTest, maximumBeyond16BitsKeepsThePreviousOne)
{
    window.RefreshStatus();
    kernel.setPhysMB(64.0 * 1024, 1024); // 65536 - 512 MB does not fit
    window.RefreshStatus();
    EXPECT_EQ(slider()->maximum(), 1664);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("1024.0MB Kelvane v1.0"));
}

TEST_F(StatusWindowTest, failedProbeKeepsWhatNeedsTheTotalAndWritesTheRest)
{
    window.RefreshStatus();
    const QRect bar = control<QWidget>("Picture2")->geometry();
    kernel.extendedSucceeds = false;
    window.RefreshStatus();
    EXPECT_EQ(statusLine(), QStringLiteral("Free: 768.0 MB - Usage: 62.5% of 2048.0 MB"));
    EXPECT_EQ(control<QLabel>("lblKelvane")->text(), QStringLiteral("37.5%"));
    EXPECT_EQ(control<QWidget>("Picture2")->geometry(), bar);
    EXPECT_EQ(control<QLabel>("lblStatus")->toolTip(), QStringLiteral("Free: 0.0 KB"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("0.0MB Kelvane v1.0"));
    EXPECT_EQ(window.memInfo(), memory::MemoryInfo{});
}

TEST_F(StatusWindowTest, clicksOnStatusLineAndUsageBarRefreshAtOnce)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.RefreshStatus();
    int free = 700;
    for (const char *name : {"lblStatus", "Picture1", "Picture2", "lblKelvane"}) {
        kernel.setPhysMB(2048, free);
        auto *target = control<QWidget>(name);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, target->height() / 2));
        EXPECT_EQ(window.windowTitle(), QStringLiteral("%1.0MB Kelvane v1.0").arg(free)) << name;
        free += 10;
    }
}

TEST(StatusTexts, totalOfZeroLeavesOnlyFiguresWithoutDivision)
{
    memory::MemoryInfo info;
    info.AvailPhys = *memory::Currency::fromUnsigned(1048576);
    const StatusTexts t = statusTexts(info, QLocale::c());
    EXPECT_FALSE(t.statusLine);
    EXPECT_FALSE(t.usageLine);
    EXPECT_FALSE(barTexts(info, QLocale::c()).text);
    EXPECT_EQ(t.caption, QStringLiteral("1.0MB Kelvane v1.0"));
    EXPECT_FALSE(freeFraction(info));
}

} // namespace
