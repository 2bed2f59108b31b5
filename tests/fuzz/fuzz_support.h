// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: the failure report, input reading, the locales the number texts
// are tried in, and a strict reader of a displayed number.

#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

// A broken property: say which and where, then abort, which libFuzzer reports as a crash and
// saves the input for.
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
            std::fputc('\n', stderr);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

__extension__ using i128 = __int128;
__extension__ using u128 = unsigned __int128;

inline std::string utf8(QStringView s) { return s.toUtf8().toStdString(); }

// The T in the input's bytes from `at` on; bytes past the end count as 0.
template<typename T> T take(const std::uint8_t *data, std::size_t size, std::size_t at)
{
    std::array<std::uint8_t, sizeof(T)> bytes{};
    if (at < size)
        std::memcpy(bytes.data(), data + at, std::min(sizeof(T), size - at));
    return std::bit_cast<T>(bytes);
}

// `pattern` made once, anchored at both ends of the subject.
inline const QRegularExpression &regex(const QString &pattern)
{
    static QHash<QString, QRegularExpression> made;
    auto it = made.find(pattern);
    if (it == made.end())
        it = made.insert(pattern, QRegularExpression(QRegularExpression::anchoredPattern(pattern)));
    return *it;
}

// Locales whose number texts differ in the ways that matter: decimal point, group separator and
// grouping (Indian lakhs, Swiss apostrophes, French narrow spaces), native digits (Arabic-Indic,
// Persian, Bengali, Devanagari) and the minus sign (U+2212, Arabic marks).
inline const QLocale &localeFor(unsigned char selector)
{
    static const std::array locales{
        QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::English, QLocale::India),
        QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::German, QLocale::Switzerland),
        QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Spanish, QLocale::Spain),
        QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::Swedish, QLocale::Sweden),
        QLocale(QLocale::NorwegianBokmal, QLocale::Norway), QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Persian, QLocale::Iran), QLocale(QLocale::Bengali, QLocale::Bangladesh),
        QLocale(QLocale::Marathi, QLocale::India), QLocale(QLocale::Japanese, QLocale::Japan),
        QLocale(QLocale::Portuguese, QLocale::Brazil),
    };
    return locales[selector % locales.size()];
}

struct DisplayedNumber
{
    bool negative = false;
    int integerDigits = 0;
    int decimals = 0;
    bool grouped = false;
    double magnitude = 0; // the value read back, unsigned
};

// A number as formatNumber writes it: an optional minus sign, digits of the locale with its
// group separators only between them, and an optional decimal point with digits after it.
// Empty for anything else (a NaN or infinity name, a stray character, a separator out of place).
inline std::optional<DisplayedNumber> readDisplayed(QStringView text, const QLocale &locale)
{
    const QChar zero = locale.zeroDigit().front();
    const QRegularExpressionMatch m
        = regex(QStringLiteral("(%1)?(%2+(?:%3%2+)*)?(?:%4(%2+))?")
                    .arg(QRegularExpression::escape(locale.negativeSign()),
                         QStringLiteral("[%1-%2]").arg(zero).arg(QChar(zero.unicode() + 9)),
                         QRegularExpression::escape(locale.groupSeparator()),
                         QRegularExpression::escape(locale.decimalPoint())))
              .match(text);
    const auto ascii = [&](QStringView digits) { // leaving out group separators
        std::string out;
        for (const QChar c : digits) {
            if (c >= zero && c.unicode() <= zero.unicode() + 9)
                out += static_cast<char>('0' + (c.unicode() - zero.unicode()));
        }
        return out;
    };
    const std::string whole = ascii(m.capturedView(2)), fraction = ascii(m.capturedView(3));
    const std::string number = "0" + whole + "." + fraction + "0";
    DisplayedNumber n{m.capturedLength(1) > 0, static_cast<int>(whole.size()), static_cast<int>(fraction.size()),
                      m.capturedLength(2) > static_cast<qsizetype>(whole.size())};
    if (!m.hasMatch() || whole.size() + fraction.size() == 0
        || std::from_chars(number.data(), number.data() + number.size(), n.magnitude).ec != std::errc())
        return std::nullopt;
    return n;
}

} // namespace fuzz
