// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/currency.h"
#include "memory/memory_status.h"
#include "tests/support/fake_kernel32.h"

#include <gtest/gtest.h>

#include <vector>

using namespace memory;

namespace {

Currency bytes(std::uint64_t count) { return *Currency::fromUnsigned(count); }

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

} // namespace
