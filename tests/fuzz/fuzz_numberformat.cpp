// SPDX-License-Identifier: GPL-3.0-or-later
// The number formatter with any value, locale and pattern. Input: a locale byte, a mode byte
// (which pattern, how the value is made), eight value bytes, then an arbitrary pattern in UTF-8.
// Every pattern keeps its literal text around the number; the program's own patterns must
// show a finite value as a plain number of the locale, rounded as they ask.
#include "fuzz_support.h"

#include "toolkit/numberformat.h"

#include <cmath>
#include <limits>

using fuzz::utf8;

namespace {

struct OwnPattern
{
    const char16_t *text;
    int decimals; // fixed: every one of them is a '0'
    bool grouping;
    bool percent;
};

// Every pattern the program formats its figures with.
constexpr OwnPattern ownPatterns[] = {
    {u"0%", 0, false, true},         {u"#0.0%", 1, false, true},         {u"#0.0", 1, false, false},
    {u"###0.0", 1, false, false},    {u"###0.0 MB", 1, false, false},    {u"#,##0.0 KB", 1, true, false},
    {u"#,##0.0 KB RAM", 1, true, false},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 10)
        return 0;
    const QLocale &locale = fuzz::localeFor(data[0]);
    const std::uint8_t mode = data[1];
    const auto bits = fuzz::take<std::uint64_t>(data, size, 2);
    // Raw IEEE bits reach every double; a decimal (an integer over a power of ten) reaches the
    // halfway and near-halfway values rounding is about.
    const double value = mode & 0x40
        ? static_cast<double>(static_cast<std::int64_t>(bits) >> 8) / std::pow(10.0, (bits & 0xFF) % 24)
        : std::bit_cast<double>(bits);
    const OwnPattern *own = mode & 0x80 ? nullptr : &ownPatterns[(mode & 0x3F) % std::size(ownPatterns)];
    const QString pattern = own ? QString::fromUtf16(own->text)
                                : QString::fromUtf8(reinterpret_cast<const char *>(data + 10),
                                                    static_cast<qsizetype>(size - 10));
    const QString out = toolkit::formatNumber(value, pattern, locale);

    // Any pattern: the text before its first numeric character and after that run is copied.
    const auto numeric = [](QChar c) { return c == u'#' || c == u'0' || c == u',' || c == u'.'; };
    const auto first = std::find_if(pattern.begin(), pattern.end(), numeric);
    const auto last = std::find_if_not(first, pattern.end(), numeric);
    const QStringView head(pattern.begin(), first), tail(last, pattern.end());
    FUZZ_CHECK(out.size() >= head.size() + tail.size() && out.startsWith(head) && out.endsWith(tail), "'%s' with '%s'",
               utf8(out).c_str(), utf8(pattern).c_str());
    const QStringView body = QStringView(out).sliced(head.size(), out.size() - head.size() - tail.size());

    const double shown = own && own->percent ? value * 100 : value;
    if (!own || !std::isfinite(shown))
        return 0; // beyond the doubles: the locale's names for NaN and infinity
    const auto n = fuzz::readDisplayed(body, locale);
    // Halves round away from zero on the decimal value; a few ulps either way are allowed for
    // the binary error of the value. A minus sign exactly when the number shown is below zero.
    FUZZ_CHECK(n && n->decimals == own->decimals && n->integerDigits >= 1 && (own->grouping || !n->grouped)
                   && std::abs(n->magnitude - std::abs(shown))
                       <= std::pow(10.0, -own->decimals) / 2
                           + 16 * std::numeric_limits<double>::epsilon() * std::abs(shown)
                   && n->negative == (shown < 0 && n->magnitude != 0),
               "%.17g with '%s' in %s gives '%s'", value, utf8(pattern).c_str(), utf8(locale.name()).c_str(),
               utf8(out).c_str());
    return 0;
}
