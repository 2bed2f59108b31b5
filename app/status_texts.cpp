// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_texts.h"

#include "toolkit/numberformat.h"
#include "kelvane_version.h"

#include <algorithm>
#include <cmath>
#include <limits>

using toolkit::formatNumber;

namespace {

constexpr double KB = 1024.0;
constexpr double MB = 1048576.0;

} // namespace

std::optional<double> freeFraction(const memory::MemoryInfo &info)
{
    if (info.TotalPhys.scaled() == 0)
        return std::nullopt;
    return info.AvailPhys.toDouble() / info.TotalPhys.toDouble();
}

StatusTexts statusTexts(const memory::MemoryInfo &info, const QLocale &locale)
{
    StatusTexts t;
    const double freeMB = info.AvailPhys.toDouble() / MB;
    const double freeKB = info.AvailPhys.toDouble() / KB;
    const auto free = freeFraction(info);

    // The free megabytes read the same in the status line and the caption: formatted once.
    const QString freeFigure = formatNumber(freeMB, u"###0.0", locale);
    if (free) {
        const QString usage = formatNumber(1.0 - *free, u"#0.0%", locale);
        t.statusLine = QStringLiteral("Free: ") + freeFigure + QStringLiteral(" MB - Usage: ") + usage
            + QStringLiteral(" of ") + formatNumber(info.TotalPhys.toDouble() / MB, u"#0.0", locale) + QStringLiteral(" MB");
        t.usageLine = QStringLiteral("Usage: ") + usage;
    }
    t.statusTip = QStringLiteral("Free: ") + formatNumber(freeKB, u"#,##0.0 KB", locale);
    t.caption = freeFigure + QStringLiteral("MB Kelvane v%1.%2")
                    .arg(toolkit::version::major)
                    .arg(toolkit::version::minor);
    return t;
}

BarTexts barTexts(const memory::MemoryInfo &info, const QLocale &locale)
{
    BarTexts t;
    if (const auto free = freeFraction(info))
        t.text = formatNumber(*free, u"#0.0%", locale);
    t.tip = formatNumber(info.AvailPhys.toDouble() / KB, u"#,##0.0 KB RAM", locale);
    return t;
}

std::optional<int> sliderMaximum(const memory::MemoryInfo &info)
{
    // Half the available memory in the fixed-point type, its last place rounded half to even.
    const std::int64_t scaled = info.AvailPhys.scaled();
    std::int64_t half = scaled / 2;
    if (scaled % 2 != 0 && half % 2 != 0)
        half += scaled > 0 ? 1 : -1;
    const auto rest = info.TotalPhys.minus(memory::Currency::fromScaled(half));
    if (!rest)
        return std::nullopt;
    // Never below 0: a total the record could not hold reads as 0 beside a real available
    // figure, and the slider offers nothing rather than a negative amount.
    const double maximum = std::max(0.0, std::floor(rest->toDouble() / MB));
    if (maximum > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<int>(maximum);
}
