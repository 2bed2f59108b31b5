// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/memory_status.h"
#include "tests/support/fake_kernel32.h"

#include <gtest/gtest.h>

#include <vector>

using namespace memory;

namespace {

// The extended path's figures and a count that does not fit: fuzz_meminfo; its address space
// figures: proc_meminfo_test.
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
