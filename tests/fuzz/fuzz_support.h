// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzz targets share: the failure report, the locales the number texts are tried in,
// and a strict reader of a displayed number.

#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
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

inline std::string utf8(QStringView s) { return s.toUtf8().toStdString(); }

// Locales whose number texts differ in the ways that matter: decimal point, group separator and
// grouping (Indian lakhs, Swiss apostrophes, French narrow spaces), native digits (Arabic-Indic,
// Persian, Bengali, Devanagari) and the minus sign (U+2212, Arabic marks).
inline const QLocale &localeFor(unsigned char selector)
{
    static const std::array locales{
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::English, QLocale::India),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::German, QLocale::Switzerland),
        QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Spanish, QLocale::Spain),
        QLocale(QLocale::Russian, QLocale::Russia),
        QLocale(QLocale::Swedish, QLocale::Sweden),
        QLocale(QLocale::NorwegianBokmal, QLocale::Norway),
        QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Persian, QLocale::Iran),
        QLocale(QLocale::Bengali, QLocale::Bangladesh),
        QLocale(QLocale::Marathi, QLocale::India),
        QLocale(QLocale::Japanese, QLocale::Japan),
        QLocale(QLocale::Portuguese, QLocale::Brazil),
    };
    return locales[selector % locales.size()];
}

// A number as formatNumber writes it: an optional minus sign, digits of the locale with its
// group separators only between them, and an optional decimal point with digits after it.
struct DisplayedNumber
{
    bool negative = false;
    int integerDigits = 0;
    int decimals = 0;
    bool grouped = false;
    double magnitude = 0; // the value read back, unsigned
};

// Empty when the text is anything else (a NaN or infinity name, a stray character, a
// separator out of place).
inline std::optional<DisplayedNumber> readDisplayed(QStringView text, const QLocale &locale)
{
    const QString minus = locale.negativeSign();
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    const char16_t zero = locale.zeroDigit().front().unicode();
    DisplayedNumber n;
    if (text.startsWith(minus)) {
        n.negative = true;
        text = text.sliced(minus.size());
    }
    std::string ascii;
    bool inFraction = false;
    bool lastWasDigit = false;
    while (!text.isEmpty()) {
        const char16_t c = text.front().unicode();
        if (c >= zero && c <= zero + 9) {
            ascii += static_cast<char>('0' + (c - zero));
            ++(inFraction ? n.decimals : n.integerDigits);
            lastWasDigit = true;
            text = text.sliced(1);
        } else if (!inFraction && text.startsWith(point)) {
            ascii += '.';
            inFraction = true;
            lastWasDigit = false;
            text = text.sliced(point.size());
        } else if (!inFraction && lastWasDigit && !group.isEmpty() && text.startsWith(group)) {
            n.grouped = true;
            lastWasDigit = false;
            text = text.sliced(group.size());
        } else {
            return std::nullopt;
        }
    }
    // A separator must be followed by a digit, a point by at least one.
    if (n.integerDigits + n.decimals == 0 || !lastWasDigit)
        return std::nullopt;
    if (n.integerDigits == 0)
        ascii.insert(0, 1, '0');
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), n.magnitude);
    if (error != std::errc() || end != ascii.data() + ascii.size())
        return std::nullopt;
    return n;
}

// The text between a known head and tail, or empty when it does not have them.
inline std::optional<QStringView> between(QStringView text, QStringView head, QStringView tail)
{
    if (text.size() < head.size() + tail.size() || !text.startsWith(head) || !text.endsWith(tail))
        return std::nullopt;
    return text.sliced(head.size(), text.size() - head.size() - tail.size());
}

} // namespace fuzz
