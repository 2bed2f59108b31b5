// SPDX-License-Identifier: GPL-3.0-or-later
// The number formatter with any value, locale and pattern. Input: a locale byte, a mode byte
// (which pattern, how the value is made), eight value bytes, then an arbitrary pattern in UTF-8.
// Every pattern keeps its literal text around the number; the program's own patterns must
// show a finite value as a plain number of the locale, rounded as they ask.
#include "fuzz_support.h"

#include "toolkit/numberformat.h"

#include <cmath>
#include <cstring>
#include <limits>

using fuzz::utf8;

namespace {

struct OwnPattern
{
    const char16_t *text;
    const char16_t *prefix;
    const char16_t *suffix;
    int minIntegerDigits;
    int decimals; // fixed: every one of them is a '0'
    bool grouping;
    bool percent;
};

// Every pattern the program formats its figures with.
constexpr OwnPattern ownPatterns[] = {
    {u"0%", u"", u"%", 1, 0, false, true},
    {u"#0.0%", u"", u"%", 1, 1, false, true},
    {u"#0.0", u"", u"", 1, 1, false, false},
    {u"###0.0", u"", u"", 1, 1, false, false},
    {u"###0.0 MB", u"", u" MB", 1, 1, false, false},
    {u"#,##0.0 KB", u"", u" KB", 1, 1, true, false},
    {u"#,##0.0 KB RAM", u"", u" KB RAM", 1, 1, true, false},
};

bool isNumericChar(QChar c) { return c == u'#' || c == u'0' || c == u',' || c == u'.'; }

// Any pattern: the text before its first numeric character and after that run is copied.
void checkLiterals(QStringView pattern, double value, const QLocale &locale)
{
    qsizetype first = 0;
    while (first < pattern.size() && !isNumericChar(pattern[first]))
        ++first;
    qsizetype last = first;
    while (last < pattern.size() && isNumericChar(pattern[last]))
        ++last;
    const QString out = toolkit::formatNumber(value, pattern, locale);
    FUZZ_CHECK(fuzz::between(out, pattern.first(first), pattern.sliced(last)), "'%s' with '%s'", utf8(out).c_str(),
               utf8(pattern).c_str());
}

void checkOwn(const OwnPattern &p, double value, const QLocale &locale)
{
    const QString out = toolkit::formatNumber(value, QStringView(p.text), locale);
    const auto body = fuzz::between(out, p.prefix, p.suffix);
    FUZZ_CHECK(body, "'%s'", utf8(out).c_str());
    if (!std::isfinite(value))
        return; // shown by the locale's names for them
    const double shown = p.percent ? value * 100 : value;
    if (!std::isfinite(shown))
        return; // a percentage beyond the doubles: shown as the locale's infinity
    const auto n = fuzz::readDisplayed(*body, locale);
    FUZZ_CHECK(n, "%.17g with '%s' in %s gives '%s'", value, utf8(p.text).c_str(), utf8(locale.name()).c_str(),
               utf8(out).c_str());
    FUZZ_CHECK(n->decimals == p.decimals && n->integerDigits >= p.minIntegerDigits && (p.grouping || !n->grouped),
               "'%s' for '%s'", utf8(out).c_str(), utf8(p.text).c_str());
    // Halves round away from zero on the decimal value; a few ulps either way are allowed for
    // the binary error of the value.
    const double unit = std::pow(10.0, -p.decimals);
    const double slack = 16 * std::numeric_limits<double>::epsilon() * std::abs(shown);
    FUZZ_CHECK(std::abs(n->magnitude - std::abs(shown)) <= unit / 2 + slack, "%.17g with '%s' gives '%s'", value,
               utf8(p.text).c_str(), utf8(out).c_str());
    // A minus sign exactly when the number shown is below zero.
    FUZZ_CHECK(n->negative == (shown < 0 && n->magnitude != 0), "sign of %.17g in '%s'", value, utf8(out).c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 10)
        return 0;
    const QLocale &locale = fuzz::localeFor(data[0]);
    const std::uint8_t mode = data[1];
    std::uint64_t bits = 0;
    std::memcpy(&bits, data + 2, sizeof bits);
    // Raw IEEE bits reach every double; a decimal (an integer over a power of ten) reaches the
    // halfway and near-halfway values rounding is about.
    double value = 0;
    if (mode & 0x40)
        value = static_cast<double>(static_cast<std::int64_t>(bits) >> 8) / std::pow(10.0, (bits & 0xFF) % 24);
    else
        std::memcpy(&value, &bits, sizeof value);
    const QString arbitrary = QString::fromUtf8(reinterpret_cast<const char *>(data + 10), static_cast<qsizetype>(size - 10));

    if (mode & 0x80) {
        checkLiterals(arbitrary, value, locale);
    } else {
        const OwnPattern &own = ownPatterns[(mode & 0x3F) % std::size(ownPatterns)];
        checkLiterals(QStringView(own.text), value, locale);
        checkOwn(own, value, locale);
    }
    return 0;
}
