// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/release_engine.h"

#include <array>

namespace memory {
namespace {

// The block table of one run. Slots are 1-based like the steps; the release empties them in
// slot order, and the destructor does so on any path that skipped it.
class BlockTable
{
public:
    explicit BlockTable(BlockSource &source)
        : m_source(source)
    {
    }
    ~BlockTable() { releaseAll(); }
    BlockTable(const BlockTable &) = delete;
    BlockTable &operator=(const BlockTable &) = delete;

    static bool hasSlot(int slot) { return slot >= 1 && slot <= BlockSlots; }

    void store(int slot, std::byte *block) { m_slots[static_cast<std::size_t>(slot - 1)] = block; }

    void releaseAll() noexcept
    {
        for (std::byte *&block : m_slots) {
            if (block) {
                m_source.releaseBlock(block);
                block = nullptr;
            }
        }
    }

private:
    BlockSource &m_source;
    std::array<std::byte *, BlockSlots> m_slots{};
};

} // namespace

ReleaseOutcome runRelease(std::int16_t amount, ReleaseHost &host, BlockSource &source)
{
    ReleaseOutcome outcome;
    BlockTable table(source);
    // An int counter ends after 32767 exactly where a 16-bit one would stop.
    for (int step = 1; step <= amount; ++step) {
        ++outcome.steps;
        host.progress(step, amount);
        host.updateStatus();
        host.processPendingEvents();
        if (host.stopRequested()) {
            outcome.stopped = true;
            break;
        }
        if (!BlockTable::hasSlot(step))
            continue;
        if (std::byte *block = source.makeBlock()) {
            table.store(step, block);
            ++outcome.made;
        } else {
            ++outcome.failed;
        }
    }
    // Every block has been held until here; they go back together.
    table.releaseAll();
    return outcome;
}

} // namespace memory
