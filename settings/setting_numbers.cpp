// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions the callers of the settings store apply to its text values.
#include "settings/settings_store.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace settings {
namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
int digitOf(QChar c)
{
    return c.unicode() - u'0';
}

QStringView trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text = text.sliced(1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    return text;
}

// A decimal text rounded to an integer, halves to even, decided on the digits themselves.
// Empty when malformed, or when the integer part has more significant digits than an int64
// can surely hold (far outside every range asked for).
std::optional<std::int64_t> roundedDecimal(QStringView text)
{
    text = trimmedBlanks(text);
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t magnitude = 0;
    int significant = 0;
    bool anyDigit = false;
    for (; i < n && isDigit(text[i]); ++i) {
        anyDigit = true;
        if ((magnitude != 0 || text[i] != u'0') && ++significant > 18)
            return std::nullopt;
        magnitude = magnitude * 10 + digitOf(text[i]);
    }
    if (i < n && text[i] == u'.') {
        const qsizetype first = ++i;
        bool tailNonZero = false;
        for (; i < n && isDigit(text[i]); ++i) {
            if (i > first && text[i] != u'0')
                tailNonZero = true;
        }
        if (i > first) {
            anyDigit = true;
            const int d = digitOf(text[first]);
            if (d > 5 || (d == 5 && (tailNonZero || magnitude % 2 != 0)))
                ++magnitude;
        }
    }
    if (!anyDigit || i != n)
        return std::nullopt;
    return negative ? -magnitude : magnitude;
}

template<typename Int> std::optional<Int> toInteger(QStringView text)
{
    const std::optional<std::int64_t> value = roundedDecimal(text);
    if (!value || *value < std::numeric_limits<Int>::min() || *value > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(*value);
}

} // namespace

std::optional<std::int32_t> toLong(QStringView text)
{
    return toInteger<std::int32_t>(text);
}

std::optional<std::int16_t> toShort(QStringView text)
{
    return toInteger<std::int16_t>(text);
}

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    // Blanks are skipped wherever they appear, inside the number as well.
    const auto skipBlanks = [&] {
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n'))
            ++i;
    };
    const auto readDigits = [&](std::string &into) {
        for (skipBlanks(); i < n && isDigit(text[i]); skipBlanks())
            into += static_cast<char>(text[i++].unicode());
    };

    skipBlanks();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::string whole;
    std::string fraction;
    readDigits(whole);
    if (i < n && text[i] == u'.') {
        ++i;
        readDigits(fraction);
    }
    if (whole.empty() && fraction.empty())
        return 0.0;

    // The exponent counts only when digits follow its letter and sign; saturating keeps a
    // huge one from overflowing while still meaning "far out of range".
    constexpr std::int64_t exponentCap = 1'000'000'000;
    std::int64_t exponent = 0;
    const qsizetype afterMantissa = i;
    if (i < n && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
        ++i;
        skipBlanks();
        bool negativeExponent = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            negativeExponent = text[i++] == u'-';
        std::string digits;
        readDigits(digits);
        if (digits.empty()) {
            i = afterMantissa;
        } else {
            for (const char c : digits)
                exponent = std::min(exponent * 10 + (c - '0'), exponentCap);
            if (negativeExponent)
                exponent = -exponent;
        }
    }

    // from_chars, unlike strtod, ignores the locale's decimal point.
    const std::string number
        = (whole.empty() ? std::string("0") : whole) + '.' + fraction + 'e' + std::to_string(exponent);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Overflow or underflow: tell them apart by the position of the first significant digit.
        const std::size_t firstWhole = whole.find_first_not_of('0');
        const std::size_t firstFraction = fraction.find_first_not_of('0');
        std::int64_t magnitude = exponent;
        if (firstWhole != std::string::npos)
            magnitude += static_cast<std::int64_t>(whole.size() - firstWhole);
        else if (firstFraction != std::string::npos)
            magnitude -= static_cast<std::int64_t>(firstFraction);
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc() || end != number.data() + number.size()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

} // namespace settings
