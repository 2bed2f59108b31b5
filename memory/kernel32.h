// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace memory {

// The two memory status records, in their classic layouts.
struct MEMORYSTATUS
{
    std::uint32_t dwLength = 0;
    std::uint32_t dwMemoryLoad = 0;
    std::uint32_t dwTotalPhys = 0;
    std::uint32_t dwAvailPhys = 0;
    std::uint32_t dwTotalPageFile = 0;
    std::uint32_t dwAvailPageFile = 0;
    std::uint32_t dwTotalVirtual = 0;
    std::uint32_t dwAvailVirtual = 0;
};
static_assert(sizeof(MEMORYSTATUS) == 32);

struct MEMORYSTATUSEX
{
    std::uint32_t dwLength = 0;
    std::uint32_t dwMemoryLoad = 0;
    std::uint64_t ullTotalPhys = 0;
    std::uint64_t ullAvailPhys = 0;
    std::uint64_t ullTotalPageFile = 0;
    std::uint64_t ullAvailPageFile = 0;
    std::uint64_t ullTotalVirtual = 0;
    std::uint64_t ullAvailVirtual = 0;
    std::uint64_t ullAvailExtendedVirtual = 0;
};
static_assert(sizeof(MEMORYSTATUSEX) == 64);

// The system calls the memory probe is written against. The program uses the Linux
// implementation; tests inject their own to reach the older path and failures.
class Kernel32
{
public:
    virtual ~Kernel32() = default;

    // The version word: top bit (0x80000000) clear on the family with the extended call.
    virtual std::uint32_t GetVersion() = 0;
    // Fills status (dwLength must be 64) with the current figures; false when it cannot,
    // in which case status is left as it was.
    virtual bool GlobalMemoryStatusEx(MEMORYSTATUSEX &status) = 0;
    // Fills status (dwLength 32) with the current figures, each capped at 0xFFFFFFFF.
    virtual void GlobalMemoryStatus(MEMORYSTATUS &status) = 0;
};

} // namespace memory
