// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/block_fill.h"
#include "memory/cgroup_headroom.h"
#include "memory/proc_meminfo.h"
#include "memory/release_engine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace memory {

// Makes the process the OOM killer's first choice (oom_score_adj 1000) while it lives and
// puts the previous value back when it ends. Does nothing when the file cannot be read or
// written, or when the score is already at the top.
class OomScoreRaise
{
public:
    explicit OomScoreRaise(const char *path = "/proc/self/oom_score_adj");
    ~OomScoreRaise();
    OomScoreRaise(const OomScoreRaise &) = delete;
    OomScoreRaise &operator=(const OomScoreRaise &) = delete;

    bool raised() const { return m_raised; }

private:
    const char *m_path;
    std::array<char, 16> m_previous{};
    std::size_t m_previousLength = 0;
    bool m_raised = false;
};

// The blocks of a real release: one anonymous private mapping of BlockBytes per block,
// written through, unmapped when it is given back, so the memory really returns to the
// system.
//
// Linux overcommits, so a mapping the machine cannot back does not fail; touching it would
// wake the OOM killer, which may pick another program and lose its data. A block therefore
// counts as one that cannot be made unless available memory plus free swap, read afresh,
// covers the block and ReserveBytes besides. Inside a memory cgroup (a container, a systemd
// scope with MemoryMax or MemoryHigh) the group's own OOM killer acts at its limit however
// much the machine has free, so the same must also be left below the limit of the
// process's cgroup and of each ancestor. While any block is held the process is the OOM
// killer's first choice, so if memory runs out after all it is this process that goes.
class MmapBlockSource final : public BlockSource
{
public:
    // What must stay available after a block is made.
    //
    // MemAvailable already leaves out the kernel's own watermarks, but it is an estimate
    // (it counts the page cache the kernel expects to reclaim) and it is read once before
    // each block. The reserve covers what the run needs beside its blocks (page tables:
    // 4 KiB per block, 16 MiB for a full table; the window's repaints), what other programs
    // allocate between two readings, and the desktop's resident executables and libraries,
    // so the machine stays usable at the peak. It is twice the 64 MiB floor; much more would
    // end the release early on small machines, where pushing nearly everything out to swap
    // is the point of it.
    static constexpr std::uint64_t ReserveBytes = 128ull << 20;

    explicit MmapBlockSource(const char *meminfoPath = "/proc/meminfo",
                             const char *oomScorePath = "/proc/self/oom_score_adj",
                             const char *selfCgroupPath = "/proc/self/cgroup",
                             const char *mountinfoPath = "/proc/self/mountinfo");
    ~MmapBlockSource() override;
    MmapBlockSource(const MmapBlockSource &) = delete;
    MmapBlockSource &operator=(const MmapBlockSource &) = delete;

    std::byte *makeBlock() override;
    void releaseBlock(std::byte *block) noexcept override;

    int liveBlocks() const { return m_live; }

    // True when available memory plus free swap leaves the reserve after one more block.
    static bool roomForBlock(const MeminfoFigures &figures);
    // True when the cgroups' headroom (empty: no limit) leaves the reserve after one more block.
    static bool roomInCgroup(std::optional<std::uint64_t> headroom);

private:
    ProcMeminfo m_meminfo;
    OwnCgroupHeadroom m_cgroup;
    const char *m_oomScorePath;
    std::optional<OomScoreRaise> m_oomRaise;
    int m_live = 0;
};

} // namespace memory
