// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-point conversions against exact 128-bit arithmetic. Input: an unsigned count, the
// bits of a double and two scaled values, eight bytes each (missing bytes are 0).
#include "fuzz_support.h"

#include "memory/currency.h"

#include <cmath>

using fuzz::i128;
using fuzz::u128;
using memory::Currency;

namespace {

std::optional<std::int64_t> fitting(i128 scaled)
{
    if (scaled < INT64_MIN || scaled > INT64_MAX)
        return std::nullopt;
    return static_cast<std::int64_t>(scaled);
}

std::optional<std::int64_t> scaled(std::optional<Currency> c)
{
    return c ? std::optional(c->scaled()) : std::nullopt;
}

// The exact value of `value` times 10000, rounded to an integer with halves to even.
std::optional<std::int64_t> exactScaled(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    int exponent = 0;
    const double fraction = std::frexp(std::abs(value), &exponent); // |value| = fraction * 2^exponent
    // |value| * 10000 = product * 2^shift exactly, the product below 2^67.
    const u128 product = static_cast<u128>(std::ldexp(fraction, 53)) * Currency::Scale;
    const int shift = exponent - 53;
    if (shift >= 60)
        return std::nullopt; // at least 2^112
    u128 magnitude = 0; // stays 0 below 2^-33
    if (shift >= 0) {
        magnitude = product << shift;
    } else if (shift > -100) {
        magnitude = product >> -shift;
        const u128 rest = product - (magnitude << -shift);
        const u128 half = u128(1) << (-shift - 1);
        magnitude += rest > half || (rest == half && magnitude % 2 != 0);
    }
    return fitting(value < 0 ? -i128(magnitude) : i128(magnitude));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto count = fuzz::take<std::uint64_t>(data, size, 0);
    const auto value = fuzz::take<double>(data, size, 8);
    const auto a = Currency::fromScaled(fuzz::take<std::int64_t>(data, size, 16));
    const auto b = Currency::fromScaled(fuzz::take<std::int64_t>(data, size, 24));
    const auto ll = [](std::optional<std::int64_t> v) { return v ? static_cast<long long>(*v) : -1LL; };

    FUZZ_CHECK(scaled(Currency::fromUnsigned(count)) == fitting(i128(count) * Currency::Scale), "fromUnsigned(%llu)",
               static_cast<unsigned long long>(count));
    FUZZ_CHECK(scaled(Currency::fromDouble(value)) == exactScaled(value), "fromDouble(%a = %.17g) = %lld, exactly %lld",
               value, value, ll(scaled(Currency::fromDouble(value))), ll(exactScaled(value)));
    FUZZ_CHECK(scaled(a.minus(b)) == fitting(i128(a.scaled()) - b.scaled()), "%lld minus %lld", ll(a.scaled()),
               ll(b.scaled()));
    // Below 2^51 ten-thousandths the double holds the value closely enough to come back exactly.
    if (a.scaled() > -(std::int64_t(1) << 51) && a.scaled() < (std::int64_t(1) << 51))
        FUZZ_CHECK(Currency::fromDouble(a.toDouble()) == a, "%lld through a double", ll(a.scaled()));
    return 0;
}
