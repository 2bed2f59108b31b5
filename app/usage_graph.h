// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/memory_status.h"

#include <QColor>
#include <QLocale>
#include <QString>

#include <array>
#include <optional>

namespace toolkit {
class PictureBox;
}

// The usage history strip chart: one column per tick, scrolling right to left over a grey
// grid, with the free share of virtual memory (blue), swap (dark grey) and RAM (green, on
// top) plotted as the height of the curve above the bottom edge.
//
// It plots the record it is given and never probes by itself. Everything is drawn on the
// box's persistent image, in pixels of its inner area.
class UsageGraph
{
public:
    static constexpr int GridRow = 13;
    static constexpr int GridEvery = 20;
    static inline const QColor GridColour{136, 136, 136};
    static inline const QColor VirtualColour{0, 0, 255};
    static inline const QColor PageFileColour{68, 68, 68};
    static inline const QColor RamColour{0, 255, 0};

    explicit UsageGraph(toolkit::PictureBox &box);

    // Draws the grid and makes it the picture the first tick scrolls; forgets every point.
    void init();
    // Scrolls by one pixel and draws the new column for info.
    void tick(const memory::MemoryInfo &info);

    // The usage fractions (0 to 1) the graph plots, one minus the free share of each total.
    struct Usage
    {
        double ram = 0;
        double virtualMemory = 0;
        double pageFile = 0;
    };
    // Empty when a total is 0.
    static std::optional<Usage> usage(const memory::MemoryInfo &info);
    // "Usage: 45% RAM  - 12% Virtual Memory  - 20% Page File"; empty when a total is 0.
    static std::optional<QString> toolTip(const memory::MemoryInfo &info, const QLocale &locale = QLocale());

private:
    struct Series
    {
        memory::Currency memory::MemoryInfo::*avail;
        memory::Currency memory::MemoryInfo::*total;
        QColor colour;
        std::optional<int> y;  // the last good point
        int previous = -1;     // the point drawn on the last tick; -1 for none
    };

    // The figures of the tool tip last written.
    using TipFigures = std::array<std::int64_t, 6>;

    toolkit::PictureBox &m_box;
    std::array<Series, 3> m_series;
    std::optional<TipFigures> m_tipFigures;
    int m_gridTicks = 0;
};
