// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/currency.h"
#include "memory/memory_status.h"
#include "tests/support/fake_kernel32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace memory;

namespace {

TEST(Currency, unsignedConversionIsExactUpToTheTypesLimit)
{
    const struct
    {
        std::uint64_t bytes;
        bool fits;
    } cases[] = {
        {0, true},
        {8589934592ull, true},            // 8 GiB
        {0xFFFFFFFFFFFull, true},
        {922337203685477ull, true},       // the largest whole count that fits
        {922337203685478ull, false},      // one more overflows
        {std::numeric_limits<std::uint64_t>::max(), false},
    };
    for (const auto &c : cases) {
        const auto value = Currency::fromUnsigned(c.bytes);
        ASSERT_EQ(value.has_value(), c.fits) << c.bytes;
        if (c.fits) {
            EXPECT_EQ(value->scaled(), static_cast<std::int64_t>(c.bytes) * 10000) << c.bytes;
        }
    }
}

TEST(Currency, doubleConversionRoundsToTheLastPlaceAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(Currency::fromDouble(0.12344)->scaled(), 1234);
    EXPECT_EQ(Currency::fromDouble(0.12346)->scaled(), 1235);
    EXPECT_EQ(Currency::fromDouble(-2.5)->scaled(), -25000);
    EXPECT_EQ(Currency::fromDouble(3221225472.0)->scaled(), 32212254720000);
    EXPECT_FALSE(Currency::fromDouble(std::nan("")));
    EXPECT_FALSE(Currency::fromDouble(INFINITY));
    EXPECT_FALSE(Currency::fromDouble(1e15));
    EXPECT_FALSE(Currency::fromScaled(std::numeric_limits<std::int64_t>::min()).minus(Currency::fromScaled(1)));
}

TEST(UnsignedToDouble, readsTheWordAsUnsigned)
{
    const struct
    {
        std::uint32_t word;
        double expected;
    } cases[] = {{0, 0.0}, {1, 1.0}, {0x7FFFFFFF, 2147483647.0}, {0x80000000, 2147483648.0},
                 {0xC0000000, 3221225472.0}, {0xFFFFFFFF, 4294967295.0}};
    for (const auto &c : cases)
        EXPECT_EQ(UnsignedToDouble(static_cast<std::int32_t>(c.word)), c.expected) << std::hex << c.word;
}

TEST(GetMemoryStatus, extendedPathCarriesExactCountsBeyond32Bits)
{
    FakeKernel32 kernel;
    kernel.ex.dwMemoryLoad = 37;
    kernel.ex.ullTotalPhys = 8589934592ull;
    kernel.ex.ullAvailPhys = 5368709121ull;
    kernel.ex.ullTotalPageFile = 12884901888ull;
    kernel.ex.ullAvailPageFile = 1;
    kernel.ex.ullTotalVirtual = 0x7FFFFFFFF000ull;
    kernel.ex.ullAvailVirtual = 0x7FFF00000000ull;

    const MemoryInfo info = GetMemoryStatus(kernel);
    EXPECT_EQ(kernel.extendedCalls, 1);
    EXPECT_EQ(kernel.legacyCalls, 0);
    EXPECT_EQ(info.MemoryLoad, 37);
    EXPECT_EQ(info.TotalPhys, *Currency::fromUnsigned(8589934592ull));
    EXPECT_EQ(info.AvailPhys, *Currency::fromUnsigned(5368709121ull));
    EXPECT_EQ(info.TotalPageFile, *Currency::fromUnsigned(12884901888ull));
    EXPECT_EQ(info.AvailPageFile, *Currency::fromUnsigned(1));
    EXPECT_EQ(info.TotalVirtual, *Currency::fromUnsigned(0x7FFFFFFFF000ull));
    EXPECT_EQ(info.AvailVirtual, *Currency::fromUnsigned(0x7FFF00000000ull));
}

TEST(GetMemoryStatus, countThatDoesNotFitLeavesOnlyThatFieldZero)
{
    FakeKernel32 kernel;
    kernel.setPhysMB(2048, 768);
    kernel.ex.ullTotalVirtual = 922337203685478ull;
    const MemoryInfo info = GetMemoryStatus(kernel);
    EXPECT_EQ(info.TotalVirtual.scaled(), 0);
    EXPECT_EQ(info.TotalPhys, *Currency::fromUnsigned(2048ull << 20));
}

TEST(GetMemoryStatus, versionWordWithTopBitTakesOlderPathEvenWithExtendedCall)
{
    FakeKernel32 kernel;
    kernel.version = 0x80000A04;
    kernel.setPhysMB(8192, 4096);
    kernel.legacy.dwMemoryLoad = 25;
    kernel.legacy.dwTotalPhys = 0xC0000000;
    kernel.legacy.dwAvailPhys = 0x80000000;
    kernel.legacy.dwTotalPageFile = 0xFFFFFFFF;
    kernel.legacy.dwAvailPageFile = 12345;
    kernel.legacy.dwTotalVirtual = 0x7FFE0000;
    kernel.legacy.dwAvailVirtual = 0x7000000;

    const MemoryInfo info = GetMemoryStatus(kernel);
    EXPECT_EQ(kernel.extendedCalls, 0);
    EXPECT_EQ(kernel.legacyCalls, 1);
    EXPECT_EQ(info.MemoryLoad, 25);
    EXPECT_EQ(info.TotalPhys.toDouble(), 3221225472.0);
    EXPECT_EQ(info.AvailPhys.toDouble(), 2147483648.0);
    EXPECT_EQ(info.TotalPageFile.toDouble(), 4294967295.0);
    EXPECT_EQ(info.AvailPageFile.toDouble(), 12345.0);
    EXPECT_EQ(info.TotalVirtual.toDouble(), 2147352576.0);
    EXPECT_EQ(info.AvailVirtual.toDouble(), 117440512.0);
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
