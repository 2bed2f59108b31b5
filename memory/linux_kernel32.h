// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/kernel32.h"
#include "memory/proc_meminfo.h"

namespace memory {

// The memory status calls on Linux:
//   TotalPhys     = MemTotal
//   AvailPhys     = MemAvailable (MemFree + Buffers + Cached on kernels without it)
//   TotalPageFile = MemTotal + SwapTotal (the commit limit without overcommit)
//   AvailPageFile = TotalPageFile - Committed_AS, at least 0
//   TotalVirtual  = the process's user address space: RLIMIT_AS when set, else the
//                   architecture's user range
//   AvailVirtual  = TotalVirtual - the process's VmSize, at least 0
//   MemoryLoad    = round(100 * (1 - AvailPhys / TotalPhys))
class LinuxKernel32 final : public Kernel32
{
public:
    explicit LinuxKernel32(const char *meminfoPath = "/proc/meminfo", const char *statmPath = "/proc/self/statm");

    std::uint32_t GetVersion() override;
    bool GlobalMemoryStatusEx(MEMORYSTATUSEX &status) override;
    void GlobalMemoryStatus(MEMORYSTATUS &status) override;

    // The user address space of this architecture, in bytes.
    static std::uint64_t userAddressSpace();

private:
    ProcMeminfo m_meminfo;
    ProcFile m_statm;
};

} // namespace memory
