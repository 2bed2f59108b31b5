// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/currency.h"

#include <cmath>
#include <limits>

namespace memory {
namespace {

// GCC and clang have it on every 64-bit target; enough for a 53-bit mantissa times 10000.
__extension__ using Int128 = __int128;

} // namespace

std::optional<Currency> Currency::fromUnsigned(std::uint64_t value)
{
    constexpr auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() / Scale);
    if (value > limit)
        return std::nullopt;
    return Currency(static_cast<std::int64_t>(value) * Scale);
}

std::optional<Currency> Currency::fromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // value * 10000 rounded once, exactly: value is a 53-bit integer mantissa times a power of
    // two, so the product is mantissa * 10000 (under 2^67) shifted by that power. Rounding
    // value * 10000 as a double first would round twice and miss by up to half a unit of
    // the double at large values.
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    const auto mantissa = static_cast<std::int64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    if (exponent >= 0) // |value| is 2^52 or more: beyond the range once scaled
        return mantissa == 0 ? std::optional(Currency()) : std::nullopt;
    const int shift = -exponent;
    if (shift > 100) // |value * 10000| is far below one half
        return Currency();
    const Int128 product = static_cast<Int128>(mantissa) * Scale;
    Int128 quotient = product >> shift; // rounds toward minus infinity
    const Int128 remainder = product - (quotient << shift);
    const Int128 half = static_cast<Int128>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1) != 0))
        ++quotient; // to nearest, halves to even
    if (quotient > std::numeric_limits<std::int64_t>::max() || quotient < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Currency(static_cast<std::int64_t>(quotient));
}

std::optional<Currency> Currency::minus(Currency other) const
{
    std::int64_t result = 0;
    if (__builtin_sub_overflow(m_scaled, other.m_scaled, &result))
        return std::nullopt;
    return Currency(result);
}

} // namespace memory
