// SPDX-License-Identifier: GPL-3.0-or-later
// --status: the figures the window shows, for a terminal or a script.
#include "app/command_line.h"
#include "app/command_output.h"
#include "app/commands.h"
#include "app/status_texts.h"
#include "app/usage_graph.h"
#include "memory/system_memory.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace cli {
namespace {

// A count of the record in whole bytes; the record may carry a rounding error far below one.
qint64 bytes(memory::Currency count)
{
    return static_cast<qint64>(std::llround(count.toDouble()));
}

// A usage fraction as a percentage with one decimal, as the status line shows it.
double percent(double fraction)
{
    return std::round(fraction * 1000.0) / 10.0;
}

void printLine(const QString &line)
{
    print(line + u'\n');
}

} // namespace

int printStatus(bool json)
{
    const auto kernel = memory::systemKernel32();
    const memory::MemoryInfo info = memory::GetMemoryStatus(*kernel);
    const StatusTexts texts = statusTexts(info);
    const auto usage = UsageGraph::usage(info);
    const auto graphTip = UsageGraph::toolTip(info);
    // A total of 0 means the probe read nothing: there are no figures to give.
    if (!texts.statusLine || !texts.usageLine || !usage || !graphTip)
        return complain(
            QStringLiteral("cannot read the memory figures (%1)").arg(QLatin1String(memory::figuresSource())),
            Failed);

    if (json) {
        const QJsonObject object {
            { QStringLiteral("memoryLoad"), info.MemoryLoad },
            { QStringLiteral("totalPhys"), bytes(info.TotalPhys) },
            { QStringLiteral("availPhys"), bytes(info.AvailPhys) },
            { QStringLiteral("totalPageFile"), bytes(info.TotalPageFile) },
            { QStringLiteral("availPageFile"), bytes(info.AvailPageFile) },
            { QStringLiteral("totalVirtual"), bytes(info.TotalVirtual) },
            { QStringLiteral("availVirtual"), bytes(info.AvailVirtual) },
            { QStringLiteral("ramUsagePercent"), percent(usage->ram) },
            { QStringLiteral("virtualUsagePercent"), percent(usage->virtualMemory) },
            { QStringLiteral("pageFileUsagePercent"), percent(usage->pageFile) },
        };
        print(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
        return Done;
    }
    printLine(*texts.statusLine);
    // The tray tool tip: the window caption, then the usage.
    printLine(texts.caption);
    printLine(*texts.usageLine);
    printLine(*graphTip);
    return Done;
}

} // namespace cli
