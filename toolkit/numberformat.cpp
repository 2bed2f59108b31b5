// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/numberformat.h"

#include <cmath>
#include <iterator>
#include <optional>

namespace toolkit {
namespace {

bool isNumericChar(QChar c) { return c == u'#' || c == u'0' || c == u',' || c == u'.'; }

struct Pattern
{
    QStringView prefix;
    QStringView suffix;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouping = false;
    bool percent = false;
};

Pattern parse(QStringView pattern)
{
    Pattern p;
    qsizetype first = 0;
    while (first < pattern.size() && !isNumericChar(pattern[first]))
        ++first;
    qsizetype last = first;
    while (last < pattern.size() && isNumericChar(pattern[last]))
        ++last;
    p.prefix = pattern.first(first);
    p.suffix = pattern.sliced(last);
    p.percent = p.prefix.contains(u'%') || p.suffix.contains(u'%');

    bool inFraction = false;
    for (QChar c : pattern.sliced(first, last - first)) {
        if (c == u'.') {
            inFraction = true;
        } else if (c == u',') {
            p.grouping = p.grouping || !inFraction;
        } else if (inFraction) {
            ++p.maxDecimals;
            if (c == u'0')
                ++p.minDecimals;
        } else if (c == u'0') {
            ++p.minIntegerDigits;
        }
    }
    return p;
}

// Rounds half away from zero at the given number of decimals, on the decimal value the
// user would read (0.125 with two decimals is 0.13), not on its binary neighbour.
double roundForDisplay(double value, int decimals)
{
    // Powers of ten this small are exact doubles; the table spares a pow() per number.
    static constexpr double exact[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11};
    const double scale = decimals >= 0 && decimals < static_cast<int>(std::size(exact)) ? exact[decimals] : std::pow(10.0, decimals);
    const double scaled = value * scale;
    // From 2^52 on a double has no fraction left to round, and the product or the nudge
    // below could overflow to infinity.
    if (!(std::abs(scaled) < 0x1p52))
        return value;
    // A relative nudge of a few ulps absorbs the binary error of values like 0.125 or 2.675.
    const double nudged = scaled + std::copysign(std::abs(scaled) * 4 * std::numeric_limits<double>::epsilon(), scaled);
    return std::round(nudged) / scale;
}

// The locale with and without digit grouping and its symbols, made once per locale rather
// than once per number: the status refresh formats nine numbers with the same locale every
// time, and each step of a release four.
struct NumberLocale
{
    QLocale source;
    QLocale grouped;
    QLocale plain;
    QString point;
    QString zero;
    QString minus;
};

const NumberLocale &numberLocale(const QLocale &locale)
{
    thread_local std::optional<NumberLocale> cached;
    if (!cached || !(cached->source == locale)) {
        cached.emplace(NumberLocale{locale, locale, locale, locale.decimalPoint(), locale.zeroDigit(), locale.negativeSign()});
        cached->grouped.setNumberOptions(QLocale::DefaultNumberOptions);
        cached->plain.setNumberOptions(QLocale::OmitGroupSeparator);
    }
    return *cached;
}

} // namespace

QString formatNumber(double value, QStringView pattern, const QLocale &locale)
{
    const Pattern p = parse(pattern);
    if (p.percent)
        value *= 100.0;
    if (!std::isfinite(value))
        return p.prefix.toString() + locale.toString(value) + p.suffix.toString();

    const double rounded = roundForDisplay(value, p.maxDecimals);
    const NumberLocale &numbers = numberLocale(locale);
    QString digits = (p.grouping ? numbers.grouped : numbers.plain).toString(std::abs(rounded), 'f', p.maxDecimals);

    const QString &point = numbers.point;
    const QString &zero = numbers.zero;
    qsizetype pointAt = digits.indexOf(point);
    if (pointAt >= 0) {
        // Optional ('#') decimals are dropped when they are trailing zeros.
        qsizetype keep = pointAt + point.size() + p.minDecimals;
        while (digits.size() > keep && digits.endsWith(zero))
            digits.chop(zero.size());
        if (digits.size() == pointAt + point.size())
            digits.chop(point.size());
    }
    if (p.minIntegerDigits == 0 && digits.startsWith(zero + point))
        digits.remove(0, zero.size());
    else if (p.minIntegerDigits == 0 && digits == zero)
        digits.clear();

    const bool negative = rounded < 0.0;
    return p.prefix.toString() + (negative ? numbers.minus : QString()) + digits + p.suffix.toString();
}

} // namespace toolkit
