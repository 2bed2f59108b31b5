// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions of stored setting texts to numbers, each against a reading of its own. The
// input is tried as UTF-8 and as raw UTF-16.
#include "fuzz_support.h"

#include "settings/settings_store.h"

#include <limits>

using fuzz::i128;
using fuzz::utf8;

namespace {

// The decimal text as an integer in the range of Int, halves to even, computed on the scaled
// value: the digits as one 128-bit integer over 10^(fraction digits). Fraction digits past the
// 30th only tell whether anything is left.
template<typename Int> std::optional<Int> referenceInteger(QStringView text)
{
    const QRegularExpressionMatch m = fuzz::regex("[ \t]*([+-]?)([0-9]*)(?:\\.([0-9]*))?[ \t]*").match(text);
    if (!m.hasMatch() || m.capturedLength(2) + m.capturedLength(3) == 0)
        return std::nullopt;
    i128 integer = 0;
    for (const QChar c : m.capturedView(2))
        integer = std::min<i128>(integer * 10 + c.digitValue(), i128(1) << 120);
    QStringView fraction = m.capturedView(3);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    const bool sticky = fraction.size() > 30; // a non-zero digit past the 30th
    i128 scaled = 0;
    i128 unit = 1;
    for (const QChar c : fraction.first(std::min<qsizetype>(fraction.size(), 30))) {
        scaled = scaled * 10 + c.digitValue();
        unit *= 10;
    }
    if (2 * scaled > unit || (2 * scaled == unit && (sticky || integer % 2 != 0)))
        ++integer;
    if (m.capturedView(1) == u"-")
        integer = -integer;
    if (integer < std::numeric_limits<Int>::min() || integer > std::numeric_limits<Int>::max())
        return std::nullopt;
    return static_cast<Int>(integer);
}

// Val's reading: blanks count for nothing anywhere in the number, so with them gone it is the
// longest prefix of the form [+-] digits [. digits] [E|D [+-] digits], read by strtod.
double referenceLeading(QStringView text)
{
    QString s;
    for (const QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n')
            s += c.unicode() < 0x80 ? c : QChar(u'\x7f'); // only ASCII can belong to the number
    }
    static const QRegularExpression number("\\A[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?");
    QString found = number.match(s).captured().replace(u'd', u'e').replace(u'D', u'e');
    return found.isEmpty() ? 0 : std::strtod(found.toLatin1().constData(), nullptr);
}

void check(QStringView text)
{
    const auto asLong = settings::toLong(text);
    const auto asShort = settings::toShort(text);
    const double leading = settings::leadingNumber(text);
    FUZZ_CHECK(asLong == referenceInteger<std::int32_t>(text) && asShort == referenceInteger<std::int16_t>(text)
                   && leading == referenceLeading(text),
               "'%s' reads as %d, %d, %.17g", utf8(text).c_str(), asLong.value_or(-1), asShort.value_or(-1), leading);
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
