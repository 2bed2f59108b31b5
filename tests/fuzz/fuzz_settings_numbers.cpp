// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions of stored setting texts to numbers, each against a reading of its own. The
// input is tried as UTF-8 and as raw UTF-16.
#include "fuzz_support.h"

#include "settings/settings_store.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using fuzz::utf8;

namespace {

__extension__ using i128 = __int128;

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The decimal text as an integer, halves to even, computed on the scaled value: the digits as
// one 128-bit integer over 10^(fraction digits). Fraction digits past the 30th only tell
// whether anything is left. Empty when malformed; integer parts of more than 30 significant
// digits come out as a value far out of every range.
std::optional<i128> referenceRounded(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    const qsizetype pointAt = text.indexOf(u'.');
    const QStringView whole = pointAt < 0 ? text : text.first(pointAt);
    const QStringView fraction = pointAt < 0 ? QStringView() : text.sliced(pointAt + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    for (const QStringView part : {whole, fraction}) {
        for (const QChar c : part) {
            if (!isDigit(c))
                return std::nullopt;
        }
    }
    constexpr i128 huge = i128(1) << 120;
    i128 integer = 0;
    for (const QChar c : whole)
        integer = std::min(integer * 10 + (c.unicode() - u'0'), huge);
    i128 scaled = 0;
    i128 unit = 1;
    bool sticky = false;
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        if (i < 30) {
            scaled = scaled * 10 + (fraction[i].unicode() - u'0');
            unit *= 10;
        } else if (fraction[i] != u'0') {
            sticky = true;
        }
    }
    if (2 * scaled > unit || (2 * scaled == unit && (sticky || integer % 2 != 0)))
        ++integer;
    return negative ? -integer : integer;
}

template<typename Int> std::optional<Int> referenceInteger(QStringView text)
{
    const auto value = referenceRounded(text);
    if (!value || *value < std::numeric_limits<Int>::min() || *value > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(*value);
}

// Val's reading: blanks count for nothing anywhere in the number, so with them gone it is the
// longest prefix of the form [+-] digits [. digits] [E|D [+-] digits], read by strtod.
double referenceLeading(QStringView text)
{
    std::string s;
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        s += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7f';
    }
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t mantissaDigits = digits();
    if (i < s.size() && s[i] == '.') {
        ++i;
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0)
        return 0;
    std::string number = s.substr(0, i);
    if (i < s.size() && std::strchr("eEdD", s[i]) != nullptr && s[i] != '\0') {
        const std::size_t letter = i++;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() > 0)
            number += 'e' + s.substr(letter + 1, i - letter - 1);
    }
    errno = 0;
    return std::strtod(number.c_str(), nullptr);
}

void check(QStringView text)
{
    const auto asLong = settings::toLong(text);
    const auto expectedLong = referenceInteger<std::int32_t>(text);
    FUZZ_CHECK(asLong == expectedLong, "toLong('%s') = %s%d, expected %s%d", utf8(text).c_str(),
               asLong ? "" : "none ", asLong.value_or(0), expectedLong ? "" : "none ", expectedLong.value_or(0));
    const auto asShort = settings::toShort(text);
    const auto expectedShort = referenceInteger<std::int16_t>(text);
    FUZZ_CHECK(asShort == expectedShort, "toShort('%s') = %s%d, expected %s%d", utf8(text).c_str(),
               asShort ? "" : "none ", asShort.value_or(0), expectedShort ? "" : "none ", expectedShort.value_or(0));
    const double leading = settings::leadingNumber(text);
    const double expectedLeading = referenceLeading(text);
    FUZZ_CHECK(leading == expectedLeading, "leadingNumber('%s') = %.17g, expected %.17g", utf8(text).c_str(),
               leading, expectedLeading);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    check(QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * 2);
    check(QStringView(units));
    return 0;
}
