// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed-point conversions against exact 128-bit arithmetic. Input: an unsigned count, the
// bits of a double and two scaled values, eight bytes each (missing bytes are 0).
#include "fuzz_support.h"

#include "memory/currency.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using memory::Currency;

namespace {

__extension__ using i128 = __int128;
__extension__ using u128 = unsigned __int128;

constexpr i128 int64Min = INT64_MIN;
constexpr i128 int64Max = INT64_MAX;

std::optional<std::int64_t> fitting(i128 scaled)
{
    if (scaled < int64Min || scaled > int64Max)
        return std::nullopt;
    return static_cast<std::int64_t>(scaled);
}

// The exact value of `value` times 10000, rounded to an integer with halves to even.
std::optional<std::int64_t> exactScaled(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0)
        return 0;
    int exponent = 0;
    const double fraction = std::frexp(std::abs(value), &exponent); // |value| = fraction * 2^exponent
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = exponent - 53; // |value| = mantissa * 2^shift, exactly
    const u128 product = u128(mantissa) * Currency::Scale; // below 2^67
    u128 magnitude = 0;
    if (shift >= 0) {
        if (shift >= 60)
            return std::nullopt; // at least 2^112
        magnitude = product << shift;
    } else if (-shift < 100) {
        const int s = -shift;
        magnitude = product >> s;
        const u128 rest = product & ((u128(1) << s) - 1);
        const u128 half = u128(1) << (s - 1);
        if (rest > half || (rest == half && (magnitude & 1) != 0))
            ++magnitude;
    } // else below 2^-33: rounds to 0
    return fitting(value < 0 ? -i128(magnitude) : i128(magnitude));
}

template<typename T> T take(const std::uint8_t *data, std::size_t size, std::size_t at)
{
    std::uint8_t bytes[sizeof(T)] = {};
    if (at < size)
        std::memcpy(bytes, data + at, std::min(sizeof(T), size - at));
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

long long ll(std::optional<Currency> c) { return c ? static_cast<long long>(c->scaled()) : -1; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto count = take<std::uint64_t>(data, size, 0);
    const auto value = take<double>(data, size, 8);
    const auto a = Currency::fromScaled(take<std::int64_t>(data, size, 16));
    const auto b = Currency::fromScaled(take<std::int64_t>(data, size, 24));

    const auto fromCount = Currency::fromUnsigned(count);
    const auto expectedCount = fitting(i128(count) * Currency::Scale);
    FUZZ_CHECK(fromCount.has_value() == expectedCount.has_value() && (!fromCount || fromCount->scaled() == *expectedCount),
               "fromUnsigned(%llu) = %lld", static_cast<unsigned long long>(count), ll(fromCount));

    const auto fromValue = Currency::fromDouble(value);
    const auto expectedValue = exactScaled(value);
    FUZZ_CHECK(fromValue.has_value() == expectedValue.has_value() && (!fromValue || fromValue->scaled() == *expectedValue),
               "fromDouble(%a = %.17g) = %lld, exactly %lld", value, value, ll(fromValue),
               expectedValue ? static_cast<long long>(*expectedValue) : -1);

    const auto difference = a.minus(b);
    const auto expectedDifference = fitting(i128(a.scaled()) - b.scaled());
    FUZZ_CHECK(difference.has_value() == expectedDifference.has_value()
                   && (!difference || difference->scaled() == *expectedDifference),
               "%lld minus %lld", static_cast<long long>(a.scaled()), static_cast<long long>(b.scaled()));

    // Below 2^51 ten-thousandths the double holds the value closely enough to come back exactly.
    if (a.scaled() > -(std::int64_t(1) << 51) && a.scaled() < (std::int64_t(1) << 51)) {
        const auto back = Currency::fromDouble(a.toDouble());
        FUZZ_CHECK(back && *back == a, "%lld through a double", static_cast<long long>(a.scaled()));
    }
    return 0;
}
