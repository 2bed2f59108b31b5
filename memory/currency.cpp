// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/currency.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace memory {

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
    const double scaled = std::nearbyint(value * Scale); // the default rounding mode: halves to even
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double bound = 9223372036854775808.0;
    if (scaled >= bound || scaled < -bound)
        return std::nullopt;
    return Currency(static_cast<std::int64_t>(scaled));
}

std::optional<Currency> Currency::minus(Currency other) const
{
    std::int64_t result = 0;
    if (__builtin_sub_overflow(m_scaled, other.m_scaled, &result))
        return std::nullopt;
    return Currency(result);
}

} // namespace memory
