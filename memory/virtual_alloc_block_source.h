// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/kernel32.h"
#include "memory/release_engine.h"
#include "memory/windows_kernel32.h"

#include <cstdint>

namespace memory {

// The blocks of a real release on Windows: each block its own committed allocation of
// BlockBytes (VirtualAlloc), every byte written, freed (VirtualFree) when it is given back,
// and left out of crash dumps where Windows offers that (Windows 10 and later, up to its
// limit of registered blocks).
//
// Windows does not overcommit: a block it cannot commit is a block that cannot be made. It
// is also refused, before it is committed, unless ReserveBytes would still be left both of
// the commit limit (what every program may still commit) and of the available physical
// memory, read afresh for each block: a release never takes the machine into its low-memory
// state, where other programs' allocations start to fail or the system starts trimming
// everything at once.
class VirtualAllocBlockSource final : public BlockSource
{
public:
    // As on Linux: twice the 64 MiB floor, left beside the blocks for the run itself, for
    // what other programs allocate between two readings, and for the desktop.
    static constexpr std::uint64_t ReserveBytes = 128ull << 20;

    // Reads the figures from kernel32 itself.
    VirtualAllocBlockSource();
    // Reads the figures from `figures` (tests).
    explicit VirtualAllocBlockSource(Kernel32 &figures);
    ~VirtualAllocBlockSource() override = default;
    VirtualAllocBlockSource(const VirtualAllocBlockSource &) = delete;
    VirtualAllocBlockSource &operator=(const VirtualAllocBlockSource &) = delete;

    std::byte *makeBlock() override;
    void releaseBlock(std::byte *block) noexcept override;

    int liveBlocks() const { return m_live; }

    // True when one more block leaves the reserve of the commit limit and of the available
    // physical memory.
    static bool roomForBlock(const MEMORYSTATUSEX &status);

private:
    WindowsKernel32 m_kernel;
    Kernel32 &m_figures;
    int m_live = 0;
};

} // namespace memory
