// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/kernel32.h"

#include <cstdint>

// A memory status layer whose answers the test sets.
class FakeKernel32 final : public memory::Kernel32
{
public:
    std::uint32_t version = 0x0000000A;
    bool extendedSucceeds = true;
    memory::MEMORYSTATUSEX ex;
    memory::MEMORYSTATUS legacy;
    int extendedCalls = 0;

    // Sets physical memory in megabytes on the extended path (other figures plausible).
    void setPhysMB(double totalMB, double availMB);

    std::uint32_t GetVersion() override { return version; }
    bool GlobalMemoryStatusEx(memory::MEMORYSTATUSEX &status) override;
    void GlobalMemoryStatus(memory::MEMORYSTATUS &status) override;
};
