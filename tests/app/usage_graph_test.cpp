// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/usage_graph.h"
#include "tests/support/qt_printers.h"
#include "toolkit/picturebox.h"

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
    // The newest column, top to bottom, expected to hold the grid row and the given points.
    void expectNewest(const std::vector<std::pair<int, QColor>> &points)
    {
        std::vector<QColor> expected(SH, Black), actual;
        expected[UsageGraph::GridRow] = UsageGraph::GridColour;
        for (const auto &[y, colour] : points)
            expected[static_cast<std::size_t>(y)] = colour;
        for (int y = 0; y < SH; ++y)
            actual.push_back(at(SW - 1, y));
        EXPECT_EQ(actual, expected);
    }

    static constexpr int SW = 106;
    static constexpr int SH = 28;
    toolkit::PictureBox box;
    UsageGraph graph{box};
};

TEST_F(UsageGraphTest, nothingBeforeTheFirstGoodRecordThenSinglePointsAndAZeroTotalKeepsThem)
{
    graph.tick(MemoryInfo{});
    expectNewest({});
    const std::vector<std::pair<int, QColor>> points{
        {7, UsageGraph::VirtualColour}, {21, UsageGraph::PageFileColour}, {14, UsageGraph::RamColour}};
    graph.tick(record(0.25, 0.75, 0.5));
    expectNewest(points);
    graph.tick(MemoryInfo{}); // a failed probe: every field 0
    expectNewest(points);
}

TEST_F(UsageGraphTest, laterTicksJoinSegmentsTheGridScrollsAndRamIsOnTop)
{
    graph.tick(record(0.25, 0.75, 10.0 / SH));
    // No segment reaches back into the scrolled column, which is the grid line from x = 105.
    EXPECT_EQ(at(SW - 2, 0), UsageGraph::GridColour);
    EXPECT_EQ(at(SW - 2, 10), UsageGraph::GridColour);
    graph.tick(record(0.25, 0.75, 20.0 / SH));
    EXPECT_EQ(at(SW - 2, 10), UsageGraph::RamColour);
    EXPECT_EQ(at(SW - 1, 20), UsageGraph::RamColour);
    int green = 0;
    for (int y = 11; y < 20; ++y)
        green += (at(SW - 2, y) == UsageGraph::RamColour) + (at(SW - 1, y) == UsageGraph::RamColour);
    EXPECT_EQ(green, 9); // one pixel per row between the ends
    EXPECT_EQ(at(SW - 3, 0), UsageGraph::GridColour); // the grid line from x = 105, two columns on
    EXPECT_EQ(at(SW - 3, 27), UsageGraph::GridColour);

    // RAM covers the page file, which covers virtual memory.
    graph.tick(record(0.5, 0.5, 0.5));
    EXPECT_EQ(at(SW - 1, 14), UsageGraph::RamColour);
    graph.tick(record(0.5, 0.5, 0.0));
    EXPECT_EQ(at(SW - 1, 14), UsageGraph::PageFileColour);
    EXPECT_EQ(at(SW - 1, 0), UsageGraph::RamColour); // 100 % usage on row 0
}

TEST_F(UsageGraphTest, initDrawsTheGridOnlyAndEveryTwentiethTickEntersAGridColumn)
{
    for (int x = 0; x < SW; ++x)
        for (int y = 0; y < SH; ++y)
            EXPECT_EQ(at(x, y), y == UsageGraph::GridRow || (x - 5) % 20 == 0 ? UsageGraph::GridColour : Black)
                << x << "," << y;
    for (int tick = 1; tick <= 40; ++tick) {
        graph.tick(record(1.0, 1.0, 1.0)); // 0 % usage: on row SH, below the visible area
        const QColor expected = tick % 20 == 0 ? UsageGraph::GridColour : Black;
        EXPECT_EQ(at(SW - 1, 0), expected) << tick;
        EXPECT_EQ(at(SW - 1, SH - 1), expected) << tick;
        EXPECT_EQ(at(SW - 1, UsageGraph::GridRow), UsageGraph::GridColour) << tick;
    }
}

TEST(UsageGraphToolTip, wholePercentsWithTwoBlanksBeforeEachHyphen)
{
    MemoryInfo info = record(0.88, 0.80, 0.547);
    EXPECT_EQ(UsageGraph::toolTip(info, QLocale::c()),
              QStringLiteral("Usage: 45% RAM  - 12% Virtual Memory  - 20% Page File"));
    info.TotalPageFile = Currency();
    EXPECT_FALSE(UsageGraph::toolTip(info));
}

} // namespace
