// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/memory_status.h"
#include "tests/support/fake_kernel32.h"

#include <gtest/gtest.h>

#include <vector>

using namespace memory;

namespace {

// The figures of both paths, the version word's precedence over a working extended call and
// words read as unsigned: fuzz_meminfo; the extended path's address space: proc_meminfo_test.
// Left here: the older path's address space, and no extended call on the older family.
TEST(GetMemoryStatus, olderPathCarriesTheAddressSpaceWordsUnsignedAndMakesNoExtendedCall)
{
    FakeKernel32 kernel;
    kernel.version = 0x80000A04;
    kernel.legacy.dwTotalVirtual = 0xFFFE0000;
    kernel.legacy.dwAvailVirtual = 0x7000000;

    const MemoryInfo info = GetMemoryStatus(kernel);
    EXPECT_EQ(kernel.extendedCalls, 0);
    EXPECT_EQ((std::vector{info.TotalVirtual.toDouble(), info.AvailVirtual.toDouble()}),
              (std::vector{4294836224.0, 117440512.0}));
}

} // namespace
