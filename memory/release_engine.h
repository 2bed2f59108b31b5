// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace memory {

// One block of a release: 2^20 UTF-16 spaces, 2,097,152 bytes.
inline constexpr std::size_t BlockBytes = 2'097'152;
// The block table of one run; steps beyond the last slot take no memory.
inline constexpr int BlockSlots = 4096;

// Where the blocks of a release come from.
class BlockSource
{
public:
    virtual ~BlockSource() = default;

    // Makes one block of BlockBytes with every byte written. nullptr when the block cannot be
    // made (the system has no memory to back it); the caller goes on without it.
    virtual std::byte *makeBlock() = 0;
    // Gives back a block that makeBlock() returned. Called once per block.
    virtual void releaseBlock(std::byte *block) noexcept = 0;
};

// What a release asks of its caller at every step (the window, or a test).
class ReleaseHost
{
public:
    virtual ~ReleaseHost() = default;

    // Step `step` of `amount` has begun (1-based): show the progress step / amount.
    virtual void progress(int step, int amount) = 0;
    // Show the current memory figures.
    virtual void updateStatus() = 0;
    // Let pending input, timers and other events run once. They may request a stop.
    virtual void processPendingEvents() = 0;
    // True when the run should end before its next block.
    virtual bool stopRequested() = 0;
};

struct ReleaseOutcome
{
    int steps = 0;      // steps begun (progress shown)
    int made = 0;       // blocks made and held until the release
    int failed = 0;     // blocks that could not be made
    bool stopped = false; // the run ended on a stop request
};

// Takes `amount` blocks, one per step, holds all of them until the allocation loop is over,
// then gives them back together in slot order. Each step: progress, status, one turn of
// pending events, the stop check, then the block into slot `step` (nothing beyond
// BlockSlots, nothing when it cannot be made; the run goes on either way). An amount of 0 or
// less runs no step. The counter is 16 bits wide like the amount, so 32767 steps at most.
// Whatever way the function is left, every block it holds is given back.
ReleaseOutcome runRelease(std::int16_t amount, ReleaseHost &host, BlockSource &source);

} // namespace memory
