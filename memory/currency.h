// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <compare>
#include <cstdint>
#include <optional>

namespace memory {

// A 64-bit fixed-point number with four decimal places: the value times 10000 in a signed
// 64-bit integer, so it holds -922,337,203,685,477.5808 to 922,337,203,685,477.5807.
// Conversions that do not fit give an empty optional instead of a wrong value.
class Currency
{
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromScaled(std::int64_t scaled) { return Currency(scaled); }

    // Exact: a byte count of 922,337,203,685,478 or more does not fit.
    static std::optional<Currency> fromUnsigned(std::uint64_t value);
    // The double's exact value rounded once to the nearest ten-thousandth, halves to even;
    // NaN, infinities and values outside the range do not fit.
    static std::optional<Currency> fromDouble(double value);

    constexpr std::int64_t scaled() const { return m_scaled; }
    double toDouble() const { return static_cast<double>(m_scaled) / Scale; }

    // Checked difference; empty when it overflows.
    std::optional<Currency> minus(Currency other) const;

    friend constexpr auto operator<=>(Currency, Currency) = default;

private:
    explicit constexpr Currency(std::int64_t scaled)
        : m_scaled(scaled)
    {
    }

    std::int64_t m_scaled = 0;
};

} // namespace memory
