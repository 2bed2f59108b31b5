// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/currency.h"
#include "memory/memory_status.h"
#include "tests/support/fake_kernel32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace memory;

namespace {

Currency bytes(std::uint64_t count) { return *Currency::fromUnsigned(count); }

TEST(Currency, unsignedConversionIsExactUpToTheTypesLimit)
{
    // Bytes, fits: 922337203685477 is the largest whole count that does.
    const std::pair<std::uint64_t, bool> cases[] = {{0, true}, {8589934592ull, true}, {922337203685477ull, true},
                                                    {922337203685478ull, false},
                                                    {std::numeric_limits<std::uint64_t>::max(), false}};
    for (const auto &[count, fits] : cases) {
        const auto value = Currency::fromUnsigned(count);
        ASSERT_EQ(value.has_value(), fits) << count;
        if (fits) {
            EXPECT_EQ(value->scaled(), static_cast<std::int64_t>(count) * 10000) << count;
        }
    }
}

TEST(Currency, doubleConversionRoundsToTheLastPlaceAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(Currency::fromDouble(0.12344)->scaled(), 1234);
    EXPECT_EQ(Currency::fromDouble(0.12346)->scaled(), 1235);
    EXPECT_EQ(Currency::fromDouble(-2.5)->scaled(), -25000);
    EXPECT_EQ(Currency::fromDouble(3221225472.0)->scaled(), 32212254720000);
    // One rounding of the exact value: neither the large value nor the binary value just
    // above the decimal half is rounded twice.
    EXPECT_EQ(Currency::fromDouble(947857653760.00012)->scaled(), 9478576537600001);
    EXPECT_EQ(Currency::fromDouble(0.12345)->scaled(), 1235);
    EXPECT_EQ(Currency::fromDouble(0.00005)->scaled(), 1); // 5.0000000000000002396e-05
    EXPECT_EQ(Currency::fromDouble(0.0000499999)->scaled(), 0);
    EXPECT_EQ(Currency::fromDouble(922337203685477.5)->scaled(), 9223372036854775000);
    EXPECT_FALSE(Currency::fromDouble(922337203685477.5807)); // its double is .625: beyond the range
    EXPECT_FALSE(Currency::fromDouble(std::nan("")));
    EXPECT_FALSE(Currency::fromDouble(INFINITY));
    EXPECT_FALSE(Currency::fromDouble(1e15));
    EXPECT_FALSE(Currency::fromScaled(std::numeric_limits<std::int64_t>::min()).minus(Currency::fromScaled(1)));
}

TEST(GetMemoryStatus, extendedPathCarriesExactCountsAndACountThatDoesNotFitIsZero)
{
    FakeKernel32 kernel;
    kernel.ex.dwMemoryLoad = 37;
    kernel.ex.ullTotalPhys = 8589934592ull;
    kernel.ex.ullAvailPhys = 5368709121ull;
    kernel.ex.ullTotalPageFile = 12884901888ull;
    kernel.ex.ullAvailPageFile = 1;
    kernel.ex.ullTotalVirtual = 922337203685478ull; // one byte past what the type holds
    kernel.ex.ullAvailVirtual = 0x7FFF00000000ull;

    const MemoryInfo info = GetMemoryStatus(kernel);
    EXPECT_EQ(kernel.extendedCalls, 1);
    EXPECT_EQ(kernel.legacyCalls, 0);
    EXPECT_EQ(info.MemoryLoad, 37);
    EXPECT_EQ((std::vector{info.TotalPhys, info.AvailPhys, info.TotalPageFile, info.AvailPageFile,
                           info.TotalVirtual, info.AvailVirtual}),
              (std::vector{bytes(8589934592ull), bytes(5368709121ull), bytes(12884901888ull), bytes(1),
                           Currency(), bytes(0x7FFF00000000ull)}));
}

TEST(GetMemoryStatus, versionWordWithTopBitTakesOlderPathEvenWithExtendedCall)
{
    FakeKernel32 kernel;
    kernel.version = 0x80000A04;
    kernel.setPhysMB(8192, 4096);
    kernel.legacy.dwMemoryLoad = 25;
    kernel.legacy.dwTotalPhys = 0xC0000000;
    kernel.legacy.dwAvailPhys = 0x80000000;
    kernel.legacy.dwTotalPageFile = 0xFFFFFFFF; // words with the top bit set read as unsigned
    kernel.legacy.dwAvailPageFile = 12345;
    kernel.legacy.dwTotalVirtual = 0x7FFE0000;
    kernel.legacy.dwAvailVirtual = 0x7000000;

    const MemoryInfo info = GetMemoryStatus(kernel);
    EXPECT_EQ(kernel.extendedCalls, 0);
    EXPECT_EQ(kernel.legacyCalls, 1);
    EXPECT_EQ(info.MemoryLoad, 25);
    EXPECT_EQ((std::vector{info.TotalPhys.toDouble(), info.AvailPhys.toDouble(), info.TotalPageFile.toDouble(),
                           info.AvailPageFile.toDouble(), info.TotalVirtual.toDouble(),
                           info.AvailVirtual.toDouble()}),
              (std::vector{3221225472.0, 2147483648.0, 4294967295.0, 12345.0, 2147352576.0, 117440512.0}));
}

TEST(GetMemoryStatus, failedCallGivesAllZeroRecord)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768);
    kernel.ex.dwMemoryLoad = 50;
    kernel.extendedSucceeds = false;
    EXPECT_EQ(GetMemoryStatus(kernel), MemoryInfo{});
}

} // namespace
