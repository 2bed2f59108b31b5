// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/formKelvane.h"
#include "app/usage_graph.h"
#include "tests/support/fake_kernel32.h"
#include "tests/support/qt_printers.h"
#include "toolkit/picturebox.h"
#include "toolkit/timer.h"

#include <gtest/gtest.h>

using memory::Currency;
using memory::MemoryInfo;

namespace {

constexpr std::uint64_t Total = 1ull << 30;
const QColor Black(0, 0, 0);

// A record with the given free shares of virtual memory, page file and RAM.
MemoryInfo record(double freeVirtual, double freePage, double freeRam)
{
    auto bytes = [](double share) { return *Currency::fromUnsigned(static_cast<std::uint64_t>(share * Total)); };
    MemoryInfo info;
    info.TotalVirtual = info.TotalPageFile = info.TotalPhys = bytes(1.0);
    info.AvailVirtual = bytes(freeVirtual);
    info.AvailPageFile = bytes(freePage);
    info.AvailPhys = bytes(freeRam);
    return info;
}

struct UsageGraphTest : ::testing::Test
{
    UsageGraphTest()
    {
        box.setBackColor(Black);
        box.setBorder(true);
        box.resize(108, 30); // inner area 106 x 28
        graph.init();
    }
    QColor at(int x, int y) { return box.image().pixelColor(x, y); }
    // The colours of one column, top to bottom.
    std::vector<QColor> column(int x)
    {
        std::vector<QColor> c;
        for (int y = 0; y < SH; ++y)
            c.push_back(at(x, y));
        return c;
    }

    static constexpr int SW = 106;
    static constexpr int SH = 28;
    toolkit::PictureBox box;
    UsageGraph graph{box};
};

TEST_F(UsageGraphTest, initDrawsTheGridOnly)
{
    for (int x = 0; x < SW; ++x) {
        for (int y = 0; y < SH; ++y) {
            const bool grid = y == UsageGraph::GridRow || (x - 5) % 20 == 0;
            EXPECT_EQ(at(x, y), grid ? UsageGraph::GridColour : Black) << x << "," << y;
        }
    }
}

TEST_F(UsageGraphTest, firstTickPlotsThreeSinglePixelsInTheNewColumn)
{
    graph.tick(record(0.25, 0.75, 0.5)); // rows 7, 21, 14
    std::vector<QColor> expected(SH, Black);
    expected[UsageGraph::GridRow] = UsageGraph::GridColour;
    expected[7] = UsageGraph::VirtualColour;
    expected[21] = UsageGraph::PageFileColour;
    expected[14] = UsageGraph::RamColour;
    EXPECT_EQ(column(SW - 1), expected);
    // No segment reaches back into the scrolled column, which is the grid line from x = 105.
    EXPECT_EQ(column(SW - 2), std::vector<QColor>(SH, UsageGraph::GridColour));
}

TEST_F(UsageGraphTest, laterTicksJoinSegmentsAndTheGridScrolls)
{
    graph.tick(record(0.25, 0.75, 10.0 / SH));
    graph.tick(record(0.25, 0.75, 20.0 / SH));
    EXPECT_EQ(at(SW - 2, 10), UsageGraph::RamColour);
    EXPECT_EQ(at(SW - 1, 20), UsageGraph::RamColour);
    int green = 0;
    for (int y = 11; y < 20; ++y)
        green += (at(SW - 2, y) == UsageGraph::RamColour) + (at(SW - 1, y) == UsageGraph::RamColour);
    EXPECT_EQ(green, 9); // one pixel per row between the ends
    // The vertical grid line that stood at x = 105 has moved two columns left.
    EXPECT_EQ(at(SW - 3, 0), UsageGraph::GridColour);
    EXPECT_EQ(at(SW - 3, 27), UsageGraph::GridColour);
}

TEST_F(UsageGraphTest, everyTwentiethTickEntersAGridColumn)
{
    for (int tick = 1; tick <= 40; ++tick) {
        graph.tick(record(1.0, 1.0, 1.0)); // 0 % usage: on row SH, below the visible area
        const bool gridTick = tick % 20 == 0;
        EXPECT_EQ(at(SW - 1, 0), gridTick ? UsageGraph::GridColour : Black) << tick;
        EXPECT_EQ(at(SW - 1, SH - 1), gridTick ? UsageGraph::GridColour : Black) << tick;
        EXPECT_EQ(at(SW - 1, UsageGraph::GridRow), UsageGraph::GridColour) << tick;
    }
}

TEST_F(UsageGraphTest, ramCoversPageFileWhichCoversVirtualMemory)
{
    graph.tick(record(0.5, 0.5, 0.5));
    EXPECT_EQ(at(SW - 1, 14), UsageGraph::RamColour);
    graph.tick(record(0.5, 0.5, 0.0));
    EXPECT_EQ(at(SW - 1, 14), UsageGraph::PageFileColour);
    EXPECT_EQ(at(SW - 1, 0), UsageGraph::RamColour); // 100 % usage on row 0
}

TEST_F(UsageGraphTest, zeroTotalKeepsTheLastGoodPoint)
{
    graph.tick(record(0.25, 0.75, 0.5));
    MemoryInfo failed; // every field 0
    graph.tick(failed);
    EXPECT_EQ(at(SW - 1, 14), UsageGraph::RamColour);
    EXPECT_EQ(at(SW - 1, 7), UsageGraph::VirtualColour);
    EXPECT_EQ(at(SW - 1, 21), UsageGraph::PageFileColour);
}

TEST_F(UsageGraphTest, nothingIsPlottedBeforeTheFirstGoodRecord)
{
    graph.tick(MemoryInfo{});
    std::vector<QColor> expected(SH, Black);
    expected[UsageGraph::GridRow] = UsageGraph::GridColour;
    EXPECT_EQ(column(SW - 1), expected);
}

TEST(UsageGraphToolTip, wholePercentsWithTwoBlanksBeforeEachHyphen)
{
    EXPECT_EQ(UsageGraph::toolTip(record(0.88, 0.80, 0.547), QLocale::c()),
              QStringLiteral("Usage: 45% RAM  - 12% Virtual Memory  - 20% Page File"));
    MemoryInfo noSwap = record(0.88, 0.80, 0.547);
    noSwap.TotalPageFile = Currency();
    EXPECT_FALSE(UsageGraph::toolTip(noSwap));
}

TEST(UsageGraphWindow, ticksPlotTheLastRecordWithoutProbing)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 1024);
    formKelvane window{KelvaneServices{&kernel}};
    window.findChild<toolkit::Timer *>(QStringLiteral("Timer1"))->setEnabled(false);
    window.findChild<toolkit::Timer *>(QStringLiteral("Timer2"))->setEnabled(false);
    window.Form_Load();
    auto *picStat = window.findChild<toolkit::PictureBox *>(QStringLiteral("picStat"));
    EXPECT_EQ(picStat->toolTip(), QString()); // absent until the first tick

    const int probes = kernel.extendedCalls;
    window.Timer2_Timer();
    EXPECT_EQ(kernel.extendedCalls, probes);
    EXPECT_EQ(picStat->toolTip(), QStringLiteral("Usage: 50% RAM  - 50% Virtual Memory  - 50% Page File"));
    const QImage image = picStat->image();
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() / 2), UsageGraph::RamColour);
}

} // namespace
