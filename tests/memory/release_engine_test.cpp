// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/release_engine.h"
#include "tests/support/fake_block_source.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
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
    void note(const std::string &call)
    {
        calls.push_back(call);
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
    bool stopRequested() override { return note("stop?"), step == stopAtStep; }

    FakeBlockSource &source;
    int stopAtStep = 0, throwAtStep = 0; // 0: never
    int step = 0;
    std::vector<std::string> calls;
    std::size_t releasedDuringLoop = 0;
};

TEST(ReleaseEngine, eachStepShowsProgressStatusEventsThenChecksStopThenTakesItsBlock)
{
    FakeBlockSource source;
    RecordingHost host(source);
    source.onMake = [&](int call) { host.calls.push_back("block " + std::to_string(call)); };
    runRelease(2, host, source);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"progress 1/2", "status", "events", "stop?", "block 1",
                                                    "progress 2/2", "status", "events", "stop?", "block 2"}));
}

// Whatever the amount, stop or failures: every block made is held until the loop is over,
// then all are given back in slot order.
TEST(ReleaseEngine, holdsEveryBlockUntilTheEndThenReleasesInSlotOrder)
{
    // Amount, step that asks to stop (0: none), failing makeBlock calls; steps, makeBlock
    // calls, blocks made, stopped.
    const std::tuple<const char *, int, int, std::set<int>, int, int, int, bool> cases[] = {
        {"amount zero runs no step", 0, 0, {}, 0, 0, 0, false},
        {"negative amount runs no step", -7, 0, {}, 0, 0, 0, false},
        {"stop at the first step takes nothing", 10, 1, {}, 1, 0, 0, true},
        {"stop at the last step: all but one", 10, 10, {}, 10, 9, 9, true},
        {"failed blocks are skipped and the run goes on", 6, 0, {2, 5}, 6, 6, 4, false},
        {"the last slot is used", 4096, 0, {}, 4096, 4096, 4096, false},
        {"stop past the last slot", 5000, 4500, {}, 4500, 4096, 4096, true},
        {"steps past the last slot take nothing, up to the largest amount", 32767, 0, {}, 32767, 4096, 4096, false},
    };
    for (const auto &[name, amount, stopAtStep, failing, steps, makeCalls, made, stopped] : cases) {
        SCOPED_TRACE(name);
        FakeBlockSource source;
        source.failingCalls = failing;
        RecordingHost host(source);
        host.stopAtStep = stopAtStep;

        const ReleaseOutcome outcome = runRelease(static_cast<std::int16_t>(amount), host, source);

        EXPECT_EQ((std::vector{outcome.steps, source.makeCalls, outcome.made, outcome.failed, source.peakLive}),
                  (std::vector{steps, makeCalls, made, makeCalls - made, made}));
        EXPECT_EQ(outcome.stopped, stopped);
        EXPECT_EQ(host.releasedDuringLoop, 0u);
        std::vector<int> madeInOrder;
        for (int call = 1; call <= makeCalls; ++call)
            if (!failing.contains(call))
                madeInOrder.push_back(call);
        EXPECT_EQ(source.released, madeInOrder);
    }
}

TEST(ReleaseEngine, blocksAreGivenBackWhenAStepThrows)
{
    FakeBlockSource source;
    RecordingHost host(source);
    host.throwAtStep = 4;
    EXPECT_THROW(runRelease(10, host, source), std::runtime_error);
    EXPECT_EQ(source.released, (std::vector<int>{1, 2, 3}));
}

} // namespace
