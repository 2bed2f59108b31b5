// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/release_engine.h"

#include <functional>
#include <set>
#include <vector>

// A block source that hands out numbered stand-ins instead of memory and records what is
// done with them. Blocks are numbered by the makeBlock() call that made them (1-based).
class FakeBlockSource final : public memory::BlockSource
{
public:
    // makeBlock() calls whose block cannot be made.
    std::set<int> failingCalls;
    // Runs inside makeBlock(call), after the block was made or refused.
    std::function<void(int call)> onMake;

    int makeCalls = 0;
    int peakLive = 0;
    std::vector<int> released; // block numbers, in the order they were given back

    int live() const { return m_live; }

    std::byte *makeBlock() override;
    void releaseBlock(std::byte *block) noexcept override;

private:
    std::vector<std::byte> m_numbers = std::vector<std::byte>(32768 + 1);
    int m_live = 0;
};
