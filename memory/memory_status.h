// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/currency.h"

#include <cstdint>

namespace memory {

class Kernel32;

// The memory status record: the system's load figure and six byte counts.
struct MemoryInfo
{
    std::int32_t MemoryLoad = 0;
    Currency TotalPhys;
    Currency AvailPhys;
    Currency TotalPageFile;
    Currency AvailPageFile;
    Currency TotalVirtual;
    Currency AvailVirtual;

    friend bool operator==(const MemoryInfo &, const MemoryInfo &) = default;
};

// True when the version word says the extended status call is there (top bit clear).
bool IsWindowsNT(Kernel32 &kernel);

// Reads a 32-bit count as unsigned: 0x80000000 gives 2147483648, 0xFFFFFFFF 4294967295.
double UnsignedToDouble(std::int32_t value);

// Probes the current memory status. Never fails: a count that cannot be read or does not
// fit the record stays 0, and when the system call fails every field is 0.
MemoryInfo GetMemoryStatus(Kernel32 &kernel);

} // namespace memory
