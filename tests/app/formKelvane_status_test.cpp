// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/usage_graph.h"
#include "kelvane_rig.h"
#include "toolkit/picturebox.h"

#include <QLabel>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct StatusWindowTest : ::testing::Test, EnglishLocale, KelvaneRig
{
    StatusWindowTest() { window.AutoKelvanePeak = 95; } // as loaded: at 0 the hidden window frees
    QLabel *label(const char *name) const { return control<QLabel>(name); }
};

TEST_F(StatusWindowTest, workedExampleThenAFailedProbeKeepsWhatNeedsTheTotalAndWritesTheRest)
{
    const auto expectFiguresOfTheTotal = [&] {
        EXPECT_EQ(label("lblStatus")->text(), QStringLiteral("Free: 768.0 MB - Usage: 62.5% of 2048.0 MB"));
        EXPECT_EQ(label("lblKelvane")->text(), QStringLiteral("37.5%"));
        // 37.5 % of Picture1's 183 px, two pixels up and left; the label follows the bar's width.
        EXPECT_EQ(control("Picture2")->geometry(), QRect(-2, -2, 69, 24));
        EXPECT_EQ(label("lblKelvane")->width(), 69);
    };
    window.RefreshStatus();
    expectFiguresOfTheTotal();
    EXPECT_EQ(slider()->maximum(), 1664);
    EXPECT_EQ(label("lblStatus")->toolTip(), QStringLiteral("Free: 786,432.0 KB"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("768.0MB Kelvane v1.0"));
    EXPECT_EQ(label("lblKelvane")->toolTip(), QStringLiteral("786,432.0 KB RAM"));

    kernel.extendedSucceeds = false;
    window.RefreshStatus();
    expectFiguresOfTheTotal();
    EXPECT_EQ(label("lblStatus")->toolTip(), QStringLiteral("Free: 0.0 KB"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("0.0MB Kelvane v1.0"));
    EXPECT_EQ(window.memInfo(), memory::MemoryInfo{});
}

// One locale of its own digits: every figure takes the locale's (which digits a locale has is
// the locale's business).
TEST_F(StatusWindowTest, arabicDigitsInEveryFigure)
{
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    window.RefreshStatus();
    ASSERT_TRUE(slider()->setValue(0) && slider()->setValue(1234));
    EXPECT_EQ(button()->text(), QStringLiteral("Free ١٢٣٤ MB")); // no grouping either
    // The version in the title is a name, not a figure.
    for (const QString &text : { label("lblStatus")->text(), label("lblStatus")->toolTip(),
             window.windowTitle().remove(QStringLiteral(" v1.0")), label("lblKelvane")->text(),
             label("lblKelvane")->toolTip() })
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[0-9]")))) << qPrintable(text);
}

// From 1 to 16 TiB the status line keeps its text, its place and its size, on one line in a
// smaller font; smaller machines keep the window's font.
TEST_F(StatusWindowTest, statusLineStaysOnOneLineUpTo16TiB)
{
    QLabel *status = label("lblStatus");
    const QRect place = status->geometry();
    const QFont full = status->font();
    // Total and free MB, the status line.
    for (const auto &[totalMB, availMB, text] : std::initializer_list<std::tuple<double, double, const char *>> {
             { 16.0 * 1024 * 1024, 10.0 * 1024 * 1024, "Free: 10485760.0 MB - Usage: 37.5% of 16777216.0 MB" },
             { 1024.0 * 1024, 512.0 * 1024, "Free: 524288.0 MB - Usage: 50.0% of 1048576.0 MB" },
             { 2048, 768, "Free: 768.0 MB - Usage: 62.5% of 2048.0 MB" } }) {
        SCOPED_TRACE(text);
        kernel.setPhysMB(totalMB, availMB);
        window.RefreshStatus();
        ASSERT_EQ(status->text(), QString::fromLatin1(text));
        EXPECT_EQ(status->geometry(), place);
        EXPECT_LE(status->fontMetrics().horizontalAdvance(status->text()), status->contentsRect().width());
        EXPECT_GE(status->font().pointSizeF(), 0.7 * full.pointSizeF()) << "still readable";
        if (totalMB < 1024 * 1024) {
            EXPECT_EQ(status->font(), full);
        }
    }
}

TEST_F(StatusWindowTest, sliderAndBarAreClampedToWhatTheFiguresAllow)
{
    window.RefreshStatus();
    kernel.setPhysMB(64.0 * 1024, 1024); // 65536 - 512 MB does not fit 16 bits: the maximum stays
    window.RefreshStatus();
    EXPECT_EQ(slider()->maximum(), 1664);
    ASSERT_TRUE(slider()->setValue(1664));
    kernel.setPhysMB(1024, 1024);
    window.RefreshStatus();
    EXPECT_EQ(slider()->maximum(), 512);
    EXPECT_EQ(slider()->value(), 512);
    EXPECT_EQ(button()->text(), QStringLiteral("Free 512 MB"));
    EXPECT_EQ(control("Picture2")->width(), control("Picture1")->width());
    EXPECT_EQ(label("lblKelvane")->text(), QStringLiteral("100.0%"));
    // A total too large for the record reads as 0 beside a real available figure: the slider
    // then offers nothing, never a negative amount.
    kernel.ex.ullTotalPhys = 1ull << 60;
    kernel.ex.ullAvailPhys = 8ull << 30;
    window.RefreshStatus();
    EXPECT_EQ(slider()->maximum(), 0);
    EXPECT_EQ(slider()->value(), 0);
}

// Both timers run from creation: Timer1 refreshes, Timer2 plots the last record without probing.
TEST(WindowTimers, bothRunFromCreationTimer1RefreshesAndTimer2PlotsWithoutProbing)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 1024);
    formKelvane window{KelvaneServices{&kernel}};
    window.AutoKelvanePeak = 95;
    window.InitGraph();
    const auto timer = [&](const char *name) { return window.findChild<toolkit::Timer *>(QLatin1String(name)); };
    EXPECT_TRUE(timer("Timer1")->isEnabled());
    EXPECT_TRUE(timer("Timer2")->isEnabled());
    ASSERT_TRUE(QMetaObject::invokeMethod(timer("Timer1"), "timeout", Qt::DirectConnection));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("1024.0MB Kelvane v1.0"));

    const int probes = kernel.extendedCalls;
    ASSERT_TRUE(QMetaObject::invokeMethod(timer("Timer2"), "timeout", Qt::DirectConnection));
    EXPECT_EQ(kernel.extendedCalls, probes);
    auto *picStat = window.findChild<toolkit::PictureBox *>(QStringLiteral("picStat"));
    EXPECT_EQ(picStat->toolTip(), QStringLiteral("Usage: 50% RAM  - 50% Virtual Memory  - 50% Page File"));
    const QImage image = picStat->image();
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() / 2), UsageGraph::RamColour);
}

} // namespace
