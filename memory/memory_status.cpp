// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/memory_status.h"

#include "memory/kernel32.h"

#include <bit>
#include <cmath>

namespace memory {
namespace {

Currency bytes(std::uint64_t count) { return Currency::fromUnsigned(count).value_or(Currency()); }

Currency bytes32(std::uint32_t count)
{
    return Currency::fromDouble(UnsignedToDouble(std::bit_cast<std::int32_t>(count))).value_or(Currency());
}

} // namespace

bool IsWindowsNT(Kernel32 &kernel) { return (kernel.GetVersion() & 0x80000000u) == 0; }

double UnsignedToDouble(std::int32_t value)
{
    double result = value;
    if (value < 0)
        result += 4294967296.0;
    return result;
}

MemoryInfo GetMemoryStatus(Kernel32 &kernel)
{
    MemoryInfo info;
    if (IsWindowsNT(kernel)) {
        MEMORYSTATUSEX status;
        status.dwLength = sizeof(MEMORYSTATUSEX);
        // The result is not examined: a failed call leaves the record zeroed.
        kernel.GlobalMemoryStatusEx(status);
        info.TotalPhys = bytes(status.ullTotalPhys);
        info.AvailPhys = bytes(status.ullAvailPhys);
        info.MemoryLoad = std::bit_cast<std::int32_t>(status.dwMemoryLoad);
        info.TotalPageFile = bytes(status.ullTotalPageFile);
        info.AvailPageFile = bytes(status.ullAvailPageFile);
        info.TotalVirtual = bytes(status.ullTotalVirtual);
        info.AvailVirtual = bytes(status.ullAvailVirtual);
    } else {
        MEMORYSTATUS status;
        status.dwLength = sizeof(MEMORYSTATUS);
        kernel.GlobalMemoryStatus(status);
        info.AvailPhys = bytes32(status.dwAvailPhys);
        info.AvailPageFile = bytes32(status.dwAvailPageFile);
        info.AvailVirtual = bytes32(status.dwAvailVirtual);
        // A load word above 2^31 - 1 does not convert to the 32-bit field, which then stays 0.
        const double load = UnsignedToDouble(std::bit_cast<std::int32_t>(status.dwMemoryLoad));
        if (load <= 2147483647.0)
            info.MemoryLoad = static_cast<std::int32_t>(load);
        info.TotalPageFile = bytes32(status.dwTotalPageFile);
        info.TotalPhys = bytes32(status.dwTotalPhys);
        info.TotalVirtual = bytes32(status.dwTotalVirtual);
    }
    return info;
}

} // namespace memory
