// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one tick of the usage history graph on the window's 108 x 30 px box, against
// the one-second budget between ticks.
#include "app/usage_graph.h"
#include "toolkit/picturebox.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

memory::MemoryInfo sample(int step)
{
    auto bytes = [](std::uint64_t b) { return *memory::Currency::fromUnsigned(b); };
    constexpr std::uint64_t total = 16ull << 30;
    memory::MemoryInfo info;
    info.TotalPhys = info.TotalPageFile = info.TotalVirtual = bytes(total);
    // A wandering record, so the ticks draw segments of varying length.
    info.AvailPhys = bytes(total / 64 * static_cast<std::uint64_t>(8 + step % 48));
    info.AvailPageFile = bytes(total / 64 * static_cast<std::uint64_t>(40 - step % 32));
    info.AvailVirtual = bytes(total / 2);
    return info;
}

void BM_GraphTick(benchmark::State &state)
{
    toolkit::PictureBox box;
    box.setBackColor(Qt::black);
    box.setBorder(true);
    box.resize(108, 30);
    UsageGraph graph(box);
    graph.init();
    int step = 0;
    for (auto _ : state) {
        graph.tick(sample(step++));
        benchmark::DoNotOptimize(box.image().constBits());
    }
    // Seconds per tick, which is also the tick's share of the one-second interval.
    state.counters["share_of_1s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GraphTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
