// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_kernel32.h"

void FakeKernel32::setPhysMB(double totalMB, double availMB)
{
    constexpr double MB = 1048576.0;
    ex.ullTotalPhys = static_cast<std::uint64_t>(totalMB * MB);
    ex.ullAvailPhys = static_cast<std::uint64_t>(availMB * MB);
    ex.ullTotalPageFile = ex.ullTotalPhys * 2;
    ex.ullAvailPageFile = ex.ullTotalPhys;
    ex.ullTotalVirtual = 0x7FFFFFFFF000ull;
    ex.ullAvailVirtual = 0x7FFFFFFFF000ull / 2;
}

bool FakeKernel32::GlobalMemoryStatusEx(memory::MEMORYSTATUSEX &status)
{
    ++extendedCalls;
    if (!extendedSucceeds)
        return false;
    const std::uint32_t length = status.dwLength;
    status = ex;
    status.dwLength = length;
    return true;
}

void FakeKernel32::GlobalMemoryStatus(memory::MEMORYSTATUS &status)
{
    const std::uint32_t length = status.dwLength;
    status = legacy;
    status.dwLength = length;
}
