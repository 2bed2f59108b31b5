// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/usage_graph.h"

#include "toolkit/numberformat.h"
#include "toolkit/picturebox.h"

#include <cmath>

using memory::MemoryInfo;

namespace {

std::optional<double> ratio(memory::Currency avail, memory::Currency total)
{
    if (total.scaled() == 0)
        return std::nullopt;
    return avail.toDouble() / total.toDouble();
}

// Row of a free fraction in a box sh pixels high: 0 % free (full usage) on row 0,
// all free on row sh. Halves go to the even row.
int rowOf(double freeFraction, double sh) { return static_cast<int>(std::nearbyint(freeFraction * sh)); }

} // namespace

UsageGraph::UsageGraph(toolkit::PictureBox &box)
    : m_box(box)
    , m_series{{
          {&MemoryInfo::AvailVirtual, &MemoryInfo::TotalVirtual, VirtualColour, {}, -1},
          {&MemoryInfo::AvailPageFile, &MemoryInfo::TotalPageFile, PageFileColour, {}, -1},
          {&MemoryInfo::AvailPhys, &MemoryInfo::TotalPhys, RamColour, {}, -1},
      }}
{
}

void UsageGraph::init()
{
    const double sw = m_box.scaleWidth();
    const double sh = m_box.scaleHeight();
    m_box.line({0, GridRow}, {sw, GridRow}, GridColour);
    for (int x = 5; x <= static_cast<int>(std::lround(sw)); x += GridEvery)
        m_box.line({double(x), 0}, {double(x), sh}, GridColour);
    m_box.setPicture(m_box.image());
    for (Series &s : m_series) {
        s.previous = -1;
        s.y.reset();
    }
}

void UsageGraph::tick(const MemoryInfo &info)
{
    const double sw = m_box.scaleWidth();
    const double sh = m_box.scaleHeight();
    const double column = sw - 1;

    // The image is the picture of the last tick: it scrolls in place.
    m_box.scrollLeft();

    if (++m_gridTicks < GridEvery) {
        m_box.line({column, 0}, {column, sh}, m_box.backColor());
    } else {
        m_box.line({column, 0}, {column, sh}, GridColour);
        m_gridTicks = 0;
    }
    m_box.pset({column, GridRow}, GridColour);

    for (Series &s : m_series) {
        // A total of 0 (a failed probe) keeps the last good point for this tick.
        if (const auto free = ratio(info.*s.avail, info.*s.total))
            s.y = rowOf(*free, sh);
        if (!s.y)
            continue; // nothing good to plot yet
        if (s.previous == -1)
            m_box.pset({column, double(*s.y)}, s.colour);
        else
            m_box.line({column - 1, double(s.previous)}, {column, double(*s.y)}, s.colour);
        s.previous = *s.y;
    }

    // The record changes at each status refresh, every third tick: the text only then.
    const TipFigures figures{info.AvailPhys.scaled(),    info.TotalPhys.scaled(),     info.AvailVirtual.scaled(),
                             info.TotalVirtual.scaled(), info.AvailPageFile.scaled(), info.TotalPageFile.scaled()};
    if (figures == m_tipFigures)
        return;
    m_tipFigures = figures;
    if (const auto tip = toolTip(info))
        m_box.setToolTip(*tip);
}

std::optional<UsageGraph::Usage> UsageGraph::usage(const MemoryInfo &info)
{
    const auto ram = ratio(info.AvailPhys, info.TotalPhys);
    const auto virt = ratio(info.AvailVirtual, info.TotalVirtual);
    const auto page = ratio(info.AvailPageFile, info.TotalPageFile);
    if (!ram || !virt || !page)
        return std::nullopt;
    return Usage{1.0 - *ram, 1.0 - *virt, 1.0 - *page};
}

std::optional<QString> UsageGraph::toolTip(const MemoryInfo &info, const QLocale &locale)
{
    const auto used = usage(info);
    if (!used)
        return std::nullopt;
    auto percent = [&locale](double fraction) { return toolkit::formatNumber(fraction, u"0%", locale); };
    return QStringLiteral("Usage: %1 RAM  - %2 Virtual Memory  - %3 Page File")
        .arg(percent(used->ram), percent(used->virtualMemory), percent(used->pageFile));
}
