// SPDX-License-Identifier: GPL-3.0-or-later
// The release against the bare memory work it cannot avoid, in one run.
//
//  (a) raw:     n x (mmap 2 MiB + fill), then munmap of all n
//  (b) release: runRelease over n steps with the real block source (its memory check per
//               block, the OOM score), one status probe (LinuxKernel32 + GetMemoryStatus)
//               and one turn of pending events (offscreen QApplication) per step
//
// The machine's paging speed drifts between runs, so a and b alternate, a b a b ..., and
// the figure is the median of the pair ratios b / a (target: at least 0.90). Afterwards the
// per-step costs are measured one by one, to show where the time of a step goes.
#include "memory/linux_kernel32.h"
#include "memory/memory_status.h"
#include "memory/mmap_block_source.h"
#include "memory/release_engine.h"

#include <QApplication>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double MiB = 1048576.0;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double residentMiB()
{
    std::array<char, 128> text{};
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const ssize_t n = ::read(fd, text.data(), text.size() - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    const char *p = text.data();
    const char *end = p + n;
    std::uint64_t size = 0;
    std::uint64_t resident = 0;
    auto r = std::from_chars(p, end, size);
    if (r.ec != std::errc() || r.ptr == end)
        return 0;
    r = std::from_chars(r.ptr + 1, end, resident);
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / MiB;
}

long minorFaults()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

struct Run
{
    double seconds = 0;
    int made = 0;
    long faults = 0;
    double rssBefore = 0;
    double rssPeak = 0;
    double rssAfter = 0;

    double blocksPerSecond() const { return made / seconds; }
    double mibPerSecond() const { return made * (static_cast<double>(memory::BlockBytes) / MiB) / seconds; }
};

Run rawRun(int n)
{
    Run run;
    std::vector<std::byte *> blocks(static_cast<std::size_t>(n), nullptr);
    run.rssBefore = residentMiB();
    const long faults = minorFaults();
    const auto start = Clock::now();
    for (std::byte *&block : blocks) {
        void *mapped = ::mmap(nullptr, memory::BlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            continue;
        block = static_cast<std::byte *>(mapped);
        memory::fillWithSpaces(block, memory::BlockBytes);
        ++run.made;
    }
    run.rssPeak = residentMiB();
    for (std::byte *block : blocks)
        if (block)
            ::munmap(block, memory::BlockBytes);
    run.seconds = secondsSince(start);
    run.faults = minorFaults() - faults;
    run.rssAfter = residentMiB();
    return run;
}

// The real source, with the resident size read once all blocks of the run are held.
class PeakSource final : public memory::BlockSource
{
public:
    PeakSource(int amount, Run &run)
        : m_amount(amount)
        , m_run(run)
    {
    }
    std::byte *makeBlock() override
    {
        std::byte *block = m_blocks.makeBlock();
        if (++m_calls == std::min(m_amount, memory::BlockSlots))
            m_run.rssPeak = residentMiB();
        return block;
    }
    void releaseBlock(std::byte *block) noexcept override { m_blocks.releaseBlock(block); }

private:
    memory::MmapBlockSource m_blocks;
    int m_amount;
    int m_calls = 0;
    Run &m_run;
};

// What the window does per step, less the drawing: the status probe and an event turn.
class BenchHost final : public memory::ReleaseHost
{
public:
    void progress(int step, int) override { m_step = step; }
    void updateStatus() override { m_info = memory::GetMemoryStatus(m_kernel); }
    void processPendingEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    bool stopRequested() override { return false; }

    const memory::MemoryInfo &info() const { return m_info; }

private:
    memory::LinuxKernel32 m_kernel;
    memory::MemoryInfo m_info;
    int m_step = 0;
};

Run releaseRun(int n)
{
    Run run;
    BenchHost host;
    PeakSource source(n, run);
    run.rssBefore = residentMiB();
    const long faults = minorFaults();
    const auto start = Clock::now();
    const memory::ReleaseOutcome outcome = memory::runRelease(static_cast<std::int16_t>(n), host, source);
    run.seconds = secondsSince(start);
    run.faults = minorFaults() - faults;
    run.rssAfter = residentMiB();
    run.made = outcome.made;
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

template<typename F> double microsecondsEach(int times, F &&f)
{
    const auto start = Clock::now();
    for (int i = 0; i < times; ++i)
        f();
    return secondsSince(start) * 1e6 / times;
}

void perStepCosts()
{
    std::printf("\nper-step costs, measured one by one\n");
    memory::LinuxKernel32 kernel;
    volatile std::int64_t sink = 0;
    const double probe =
        microsecondsEach(20000, [&] { sink = sink + memory::GetMemoryStatus(kernel).AvailPhys.scaled(); });
    memory::ProcMeminfo meminfo;
    const double check = microsecondsEach(20000, [&] {
        const auto f = meminfo.read();
        sink = sink + (f && memory::MmapBlockSource::roomForBlock(*f));
    });
    const double turn = microsecondsEach(20000, [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    std::printf("  status probe (GetMemoryStatus)       %7.2f us\n", probe);
    std::printf("  block check (/proc/meminfo)          %7.2f us\n", check);
    std::printf("  empty event turn (processEvents)     %7.2f us\n", turn);

    // Fill of a block whose pages are already there, against a 16-bit store per character.
    void *mapped = ::mmap(nullptr, memory::BlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return;
    auto *block = static_cast<std::byte *>(mapped);
    memory::fillWithSpaces(block, memory::BlockBytes);
    // What a string of 2^20 spaces compiles to: one 16-bit store per character. The length
    // comes through a volatile so the compiler cannot widen the loop for a known count.
    auto *chars = static_cast<char16_t *>(mapped);
    volatile std::size_t charCount = memory::BlockBytes / 2;
    const double wordFill = microsecondsEach(300, [&] { memory::fillWithSpaces(block, memory::BlockBytes); });
    const double charFill = microsecondsEach(30, [&] {
        std::char_traits<char16_t>::assign(chars, charCount, u' ');
        asm volatile("" : : "r"(chars) : "memory");
    });
    std::printf("  fill, resident block, vector stores  %7.2f us\n", wordFill);
    std::printf("  fill, resident block, 16-bit stores  %7.2f us (%.1fx)\n", charFill, charFill / wordFill);
    ::munmap(mapped, memory::BlockBytes);
    const long faults = minorFaults();
    const double fresh = microsecondsEach(100, [] {
        void *p = ::mmap(nullptr, memory::BlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return;
        memory::fillWithSpaces(static_cast<std::byte *>(p), memory::BlockBytes);
        ::munmap(p, memory::BlockBytes);
    });
    const double faultsPerBlock = static_cast<double>(minorFaults() - faults) / 100;
    std::printf("  fresh block: map + fill + unmap      %7.2f us, %.0f page faults,\n", fresh, faultsPerBlock);
    std::printf("    so about %.2f us per first touch of a page\n", (fresh - wordFill) / std::max(faultsPerBlock, 1.0));
    const double overhead = probe + check + turn;
    std::printf("  the release's own work per step      %7.2f us = %.2f%% of a fresh block\n", overhead,
                100 * overhead / fresh);
    (void)sink;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // At least five pairs; more on request (release_bench [pairs]).
    int pairs = 5;
    if (argc > 1)
        pairs = std::max(pairs, std::atoi(argv[1]));
    const auto benchStart = Clock::now();

    std::printf("release_bench: 2 MiB blocks, %d interleaved pairs per amount; rates are of the whole run\n", pairs);
    std::printf("(map, fill and release); RSS in MiB before / at the peak / after each run\n\n");
    std::printf("%5s %4s %-4s %9s %9s %7s %9s %23s\n", "n", "pair", "run", "blocks/s", "MiB/s", "faults", "b/a",
                "RSS before/peak/after");
    bool allMet = true;
    for (const int n : {512, 2048}) {
        std::vector<double> ratios;
        for (int pair = 1; pair <= pairs; ++pair) {
            const Run a = rawRun(n);
            const Run b = releaseRun(n);
            const double ratio = b.mibPerSecond() / a.mibPerSecond();
            ratios.push_back(ratio);
            const auto line = [&](const char *name, const Run &r, const char *ratioText) {
                std::printf("%5d %4d %-4s %9.0f %9.0f %7.0f %9s %7.1f/%7.1f/%7.1f\n", n, pair, name, r.blocksPerSecond(),
                            r.mibPerSecond(), static_cast<double>(r.faults) / std::max(r.made, 1), ratioText,
                            r.rssBefore, r.rssPeak, r.rssAfter);
            };
            char ratioText[16];
            std::snprintf(ratioText, sizeof ratioText, "%.3f", ratio);
            line("a", a, "");
            line("b", b, ratioText);
            if (a.made != n || b.made != n)
                std::printf("      (blocks made: a %d, b %d of %d)\n", a.made, b.made, n);
        }
        const double m = median(ratios);
        allMet = allMet && m >= 0.90;
        std::printf("n = %d: median b/a over %d pairs = %.3f (target >= 0.90: %s)\n\n", n, pairs, m,
                    m >= 0.90 ? "met" : "NOT met");
    }
    std::printf("faults: minor page faults per block\n");
    perStepCosts();
    std::printf("\ntotal %.0f s\n", secondsSince(benchStart));
    return allMet ? 0 : 1;
}
