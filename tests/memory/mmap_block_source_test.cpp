// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/mmap_block_source.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace memory;

namespace {

constexpr std::uint64_t MiB = 1ull << 20;
const std::uint64_t pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));

bool isSpaces(const std::byte *data, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; ++i)
        if (data[i] != std::byte(i % 2 == 0 ? 0x20 : 0x00))
            return false;
    return true;
}

// The VmFlags line of the mapping that holds `address` in /proc/self/smaps ("rd wr mr ...").
std::string vmFlagsAt(const void *address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (const QByteArray &line : readFile(QStringLiteral("/proc/self/smaps")).split('\n')) {
        const qsizetype dash = line.indexOf('-'), blank = line.indexOf(' ');
        if (dash > 0 && blank > dash && line[blank - 1] != ':') { // "start-end perms ..." opens a mapping
            inside = line.left(dash).toULongLong(nullptr, 16) <= at && at < line.mid(dash + 1, blank - dash - 1).toULongLong(nullptr, 16);
        } else if (inside && line.startsWith("VmFlags:")) {
            return line.mid(8).trimmed().toStdString();
        }
    }
    return "<no mapping>";
}

TEST(MmapBlockSource, roomForBlockNeedsTheBlockAndTheReserveFromMemoryAndSwap)
{
    constexpr std::uint64_t needed = BlockBytes + MmapBlockSource::ReserveBytes;
    static_assert(MmapBlockSource::ReserveBytes >= 64 * MiB);
    using Figure = std::optional<std::uint64_t>;
    // MemAvailable, SwapFree, room; without MemAvailable nothing says how much memory there is.
    const std::tuple<Figure, Figure, bool> cases[] = {
        {needed - 1, 0, false}, {needed - 1, std::nullopt, false}, {needed - 1, 1, true}, {0, needed, true},
        {std::nullopt, 100 * needed, false}, {UINT64_MAX - 1023, UINT64_MAX - 1023, true},
    };
    for (const auto &[available, swapFree, room] : cases) {
        MeminfoFigures f;
        f.memAvailable = available;
        f.swapFree = swapFree;
        EXPECT_EQ(MmapBlockSource::roomForBlock(f), room)
            << available.value_or(0) << " + " << swapFree.value_or(0);
    }
}

TEST(MmapBlockSource, blockIsTwoMebibytesOfSpacesAllResidentAndUnmappedOnRelease)
{
    MmapBlockSource source;
    std::byte *block = source.makeBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(isSpaces(block, BlockBytes));
    std::vector<unsigned char> resident(BlockBytes / pageSize);
    ASSERT_EQ(::mincore(block, BlockBytes, resident.data()), 0);
    EXPECT_TRUE(std::all_of(resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; }));
    EXPECT_EQ(source.liveBlocks(), 1);
    // Left out of a core dump, which would otherwise hold every block of a release.
    const std::string flags = vmFlagsAt(block);
    EXPECT_NE((' ' + flags + ' ').find(" dd "), std::string::npos) << flags;

    source.releaseBlock(block);
    EXPECT_EQ(source.liveBlocks(), 0);
    errno = 0; // mincore fails with ENOMEM on a range that is no longer mapped
    EXPECT_EQ(::mincore(block, BlockBytes, resident.data()), -1);
    EXPECT_EQ(errno, ENOMEM);
}

TEST(MmapBlockSource, oomScoreIsRaisedWhileAnyBlockIsHeldThenPutBack)
{
    QTemporaryDir dir;
    const QString oomPath = dir.filePath(QStringLiteral("oom_score_adj"));
    const QString meminfoPath = dir.filePath(QStringLiteral("meminfo"));
    writeFile(meminfoPath, "MemAvailable: 67108864 kB\n");
    const QByteArray oomName = oomPath.toLocal8Bit(), meminfoName = meminfoPath.toLocal8Bit();
    // Before, while held: already the first choice, or junk, is left alone.
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"0\n", "1000"}, {"-500\n", "1000"}, {"999", "1000"}, {"1000\n", "1000\n"}, {"junk\n", "junk\n"}};
    for (const auto &[before, whileHeld] : cases) {
        writeFile(oomPath, before);
        MmapBlockSource s(meminfoName.constData(), oomName.constData());
        std::byte *first = s.makeBlock();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(readFile(oomPath), whileHeld) << before.constData();
        std::byte *second = s.makeBlock();
        ASSERT_NE(second, nullptr);
        s.releaseBlock(first);
        EXPECT_EQ(readFile(oomPath), whileHeld) << "one block is still held";
        s.releaseBlock(second);
        EXPECT_EQ(readFile(oomPath), before);
    }
}

// Under an address-space limit mmap itself fails (the run goes on, as release_engine_test
// shows). The limit is set in a child process, so the rest of the suite keeps its address space.
TEST(MmapBlockSource, blocksBeyondAnAddressSpaceLimitCannotBeMade)
{
    MmapBlockSource source;
    // Room for three blocks and some stack beside what is mapped now, not for a fourth.
    const rlim_t limit = readFile(QStringLiteral("/proc/self/statm")).split(' ').value(0).toULongLong() * pageSize
        + 3 * BlockBytes + MiB / 2;
    const std::string report = inChild([&] {
        const rlimit as{limit, limit};
        if (::setrlimit(RLIMIT_AS, &as) != 0)
            return std::string("no limit set");
        std::array<std::byte *, 10> blocks{};
        for (std::byte *&block : blocks)
            block = source.makeBlock();
        const auto made = std::count_if(blocks.begin(), blocks.end(), [](std::byte *b) { return b != nullptr; });
        const int held = source.liveBlocks();
        for (std::byte *block : blocks)
            source.releaseBlock(block);
        return std::to_string(made) + ' ' + std::to_string(held) + ' ' + std::to_string(source.liveBlocks());
    });
    // Made, held, held after the release.
    EXPECT_EQ(report, "3 3 0");
}

} // namespace
