// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/release_engine.h"
#include "tests/support/fake_block_source.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace memory;

namespace {

// A host that writes down every call, and asks for a stop or throws at a chosen step.
struct RecordingHost final : ReleaseHost
{
    explicit RecordingHost(FakeBlockSource &blocks)
        : source(blocks)
    {
    }
    FakeBlockSource &source;
    int stopAtStep = 0;  // 0: never
    int throwAtStep = 0; // 0: never
    int step = 0;
    std::vector<std::string> calls;
    std::size_t releasedDuringLoop = 0;

    void note(std::string call)
    {
        calls.push_back(std::move(call));
        releasedDuringLoop += source.released.size();
    }
    void progress(int i, int n) override
    {
        step = i;
        note("progress " + std::to_string(i) + "/" + std::to_string(n));
    }
    void updateStatus() override { note("status"); }
    void processPendingEvents() override
    {
        note("events");
        if (step == throwAtStep)
            throw std::runtime_error("event handler failed");
    }
    bool stopRequested() override
    {
        note("stop?");
        return step == stopAtStep;
    }
};

TEST(ReleaseEngine, eachStepShowsProgressStatusEventsThenChecksStopThenTakesItsBlock)
{
    FakeBlockSource source;
    RecordingHost host(source);
    source.onMake = [&](int call) { host.calls.push_back("block " + std::to_string(call)); };
    source.failingCalls = {2};
    const ReleaseOutcome outcome = runRelease(3, host, source);

    const std::vector<std::string> expected{
        "progress 1/3", "status", "events", "stop?", "block 1", //
        "progress 2/3", "status", "events", "stop?", "block 2", //
        "progress 3/3", "status", "events", "stop?", "block 3",
    };
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(source.released, (std::vector<int>{1, 3}));
    EXPECT_EQ(outcome.steps, 3);
    EXPECT_EQ(outcome.made, 2);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_FALSE(outcome.stopped);
}

struct RunCase
{
    const char *name;
    int amount;
    int stopAtStep;
    std::set<int> failingCalls;
    int steps;
    int makeCalls;
    int made;
    bool stopped;
};

class ReleaseRuns : public ::testing::TestWithParam<RunCase>
{
};

// Whatever the amount, stop or failures: every block made is held until the loop is over,
// then all are given back in slot order.
TEST_P(ReleaseRuns, holdsEveryBlockUntilTheEndThenReleasesInSlotOrder)
{
    const RunCase &c = GetParam();
    FakeBlockSource source;
    source.failingCalls = c.failingCalls;
    RecordingHost host(source);
    host.stopAtStep = c.stopAtStep;

    const ReleaseOutcome outcome = runRelease(static_cast<std::int16_t>(c.amount), host, source);

    EXPECT_EQ(outcome.steps, c.steps);
    EXPECT_EQ(source.makeCalls, c.makeCalls);
    EXPECT_EQ(outcome.made, c.made);
    EXPECT_EQ(outcome.failed, c.makeCalls - c.made);
    EXPECT_EQ(outcome.stopped, c.stopped);
    EXPECT_EQ(host.releasedDuringLoop, 0u);
    EXPECT_EQ(source.peakLive, c.made);
    std::vector<int> madeInOrder;
    for (int call = 1; call <= c.makeCalls; ++call)
        if (!c.failingCalls.contains(call))
            madeInOrder.push_back(call);
    EXPECT_EQ(source.released, madeInOrder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReleaseRuns,
    ::testing::Values(
        RunCase{"amountZeroRunsNoStep", 0, 0, {}, 0, 0, 0, false},
        RunCase{"negativeAmountRunsNoStep", -7, 0, {}, 0, 0, 0, false},
        RunCase{"oneBlock", 1, 0, {}, 1, 1, 1, false},
        RunCase{"tenBlocks", 10, 0, {}, 10, 10, 10, false},
        RunCase{"stopAtFirstStepTakesNothing", 10, 1, {}, 1, 0, 0, true},
        RunCase{"stopAtStepFourHeldThree", 10, 4, {}, 4, 3, 3, true},
        RunCase{"stopAtLastStepHeldAllButOne", 10, 10, {}, 10, 9, 9, true},
        RunCase{"failedBlocksAreSkippedAndTheRunGoesOn", 6, 0, {2, 5}, 6, 6, 4, false},
        RunCase{"noBlockCanBeMade", 3, 0, {1, 2, 3}, 3, 3, 0, false},
        RunCase{"lastSlotIsUsed", 4096, 0, {}, 4096, 4096, 4096, false},
        RunCase{"stepsPastTheLastSlotTakeNothing", 4100, 0, {}, 4100, 4096, 4096, false},
        RunCase{"stopPastTheLastSlot", 5000, 4500, {}, 4500, 4096, 4096, true},
        RunCase{"largestAmountEndsAfter32767Steps", 32767, 0, {}, 32767, 4096, 4096, false}),
    [](const ::testing::TestParamInfo<RunCase> &param) { return std::string(param.param.name); });

TEST(ReleaseEngine, blocksAreGivenBackWhenAStepThrows)
{
    FakeBlockSource source;
    RecordingHost host(source);
    host.throwAtStep = 4;
    EXPECT_THROW(runRelease(10, host, source), std::runtime_error);
    EXPECT_EQ(source.released, (std::vector<int>{1, 2, 3}));
}

} // namespace
