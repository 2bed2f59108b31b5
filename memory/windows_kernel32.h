// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/kernel32.h"

namespace memory {

// The memory status calls of kernel32 itself. The version word is the real GetVersion's; the
// older call's figures (pointer-sized on x64) are capped at 0xFFFFFFFF as the 32-bit record
// holds them. TotalVirtual and AvailVirtual are this process's address space as Windows
// reports it.
class WindowsKernel32 final : public Kernel32
{
public:
    std::uint32_t GetVersion() override;
    bool GlobalMemoryStatusEx(MEMORYSTATUSEX &status) override;
    void GlobalMemoryStatus(MEMORYSTATUS &status) override;
};

} // namespace memory
