// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_block_source.h"

#include <algorithm>

std::byte *FakeBlockSource::makeBlock()
{
    const int call = ++makeCalls;
    std::byte *block = nullptr;
    if (!failingCalls.contains(call)) {
        block = &m_numbers.at(static_cast<std::size_t>(call));
        peakLive = std::max(peakLive, ++m_live);
    }
    if (onMake)
        onMake(call);
    return block;
}

void FakeBlockSource::releaseBlock(std::byte *block) noexcept
{
    released.push_back(static_cast<int>(block - m_numbers.data()));
    --m_live;
}
