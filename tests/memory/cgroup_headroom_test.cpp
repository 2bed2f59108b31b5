// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/cgroup_headroom.h"
#include "memory/mmap_block_source.h"
#include "tests/support/files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace memory;

namespace {

constexpr std::uint64_t MiB = 1ull << 20, GiB = 1ull << 30;
constexpr std::uint64_t Max = UINT64_MAX;                // written as v2's "max"
constexpr std::uint64_t V1None = 9223372036854771712ull; // what v1 reports for no limit

std::string figure(std::uint64_t n) { return n == Max ? "max\n" : std::to_string(n) + "\n"; }

void writeAll(const QString &path, const std::string &text) { writeFile(path, QByteArray::fromStdString(text)); }

// One cgroup directory of a fixture tree and its files (name, content). A level without files
// is only a name: no directory is made for it.
using Level = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

Level v2(std::string dir, std::uint64_t max, std::uint64_t high, std::uint64_t current)
{
    return {std::move(dir), {{"memory.max", figure(max)}, {"memory.high", figure(high)}, {"memory.current", figure(current)}}};
}

Level v1(std::string dir, std::uint64_t limit, std::uint64_t usage)
{
    return {std::move(dir), {{"memory.limit_in_bytes", figure(limit)}, {"memory.usage_in_bytes", figure(usage)}}};
}

// The levels written out under `root`, innermost first; their full paths.
std::vector<std::string> makeTree(const QString &root, const std::vector<Level> &levels)
{
    std::vector<std::string> dirs;
    for (const auto &[dir, files] : levels) {
        const QString path = root + QString::fromStdString(dir);
        for (const auto &[name, content] : files)
            writeAll(path + u'/' + QString::fromStdString(name), content);
        dirs.push_back(path.toStdString());
    }
    return dirs;
}

TEST(CgroupHeadroom, isTheSmallestLimitMinusUsageOverTheLimitedLevels)
{
    const std::tuple<const char *, std::vector<Level>, std::vector<Level>, std::optional<std::uint64_t>> cases[] = {
        {"v2 memory.max", {v2("/a", GiB, Max, 256 * MiB)}, {}, 768 * MiB},
        {"v2 memory.high below memory.max", {v2("/a", GiB, 512 * MiB, 256 * MiB)}, {}, 256 * MiB},
        {"no limit anywhere: v2 max, v1's largest page multiple",
         {v2("/a", Max, Max, 256 * MiB), v2("", Max, Max, GiB)}, {v1("/a", V1None, 256 * MiB), v1("", V1None, GiB)}, {}},
        {"an ancestor's limit is tighter",
         {v2("/a/b", 2 * GiB, Max, 100 * MiB), v2("/a", GiB, Max, 900 * MiB), {"", {}}}, {}, 124 * MiB},
        {"the child's limit is tighter",
         {v2("/a/b", 300 * MiB, Max, 100 * MiB), v2("/a", GiB, Max, 100 * MiB)}, {}, 200 * MiB},
        {"v1 limit", {}, {v1("/a", GiB, 256 * MiB), v1("", V1None, 2 * GiB)}, 768 * MiB},
        {"2^62 is no limit, one less is one", {},
         {v1("/a", NoCgroupLimitFrom, NoCgroupLimitFrom - 1), v1("", NoCgroupLimitFrom - 1, 1)}, NoCgroupLimitFrom - 2},
        {"usage above or at the limit leaves none", {v2("/a", GiB, Max, GiB)}, {v1("/a", GiB, GiB + 4096)}, 0},
        {"hybrid: both hierarchies count", {v2("/u", GiB, Max, 0)}, {v1("/m", 512 * MiB, 0)}, 512 * MiB},
        {"no usage file, or no limit file: no limit at that level",
         {{"/a/b", {{"memory.max", figure(GiB)}}}, {"/a", {{"memory.current", figure(GiB)}}}},
         {{"/m", {{"memory.limit_in_bytes", figure(GiB)}}}}, {}},
        {"unreadable figures set no limit",
         {{"/a", {{"memory.max", "12abc\n"}, {"memory.high", "\n"}, {"memory.current", "0\n"}}},
          {"/b", {{"memory.max", figure(GiB)}, {"memory.current", "lots\n"}}}},
         {{"/m", {{"memory.limit_in_bytes", "-1\n"}, {"memory.usage_in_bytes", "0\n"}}}}, {}},
    };
    QTemporaryDir dir;
    int n = 0;
    for (const auto &[what, unified, v1, headroom] : cases) {
        const QString root = dir.filePath(QString::number(n++));
        EXPECT_EQ(cgroupHeadroom({makeTree(root + "/u", unified), makeTree(root + "/v1", v1)}), headroom) << what;
    }
}

TEST(CgroupHeadroom, readerSeesNewFiguresThroughItsKeptFilesOnEveryRead)
{
    QTemporaryDir dir;
    CgroupHeadroomReader reader(CgroupPaths{makeTree(dir.path(), {v2("/a", Max, Max, 100 * MiB)}), {}});
    EXPECT_EQ(reader.read(), std::nullopt);
    // Each file rewritten in turn, the current figure shorter than before.
    const std::tuple<const char *, std::uint64_t, std::uint64_t> steps[] = {
        {"memory.max", GiB, GiB - 100 * MiB}, {"memory.current", 9, GiB - 9}, {"memory.high", 10, 1}};
    for (const auto &[name, value, headroom] : steps) {
        writeAll(dir.filePath("a/") + name, figure(value));
        EXPECT_EQ(reader.read(), headroom) << name;
    }

    // Moved from, the descriptors belong to the new reader alone.
    const CgroupHeadroomReader moved(std::move(reader));
    EXPECT_EQ(moved.read(), 1u);
    // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): left empty on purpose
    EXPECT_EQ(reader.read(), std::nullopt);
}

TEST(FindCgroupPaths, mapsTheProcessCgroupThroughTheMountOntoItsDirectoryAndAncestors)
{
    const std::string v1Line = "35 31 0:32 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n";
    const std::string others = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                               "32 31 0:29 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
                               "40 31 0:37 / /sys/fs/cgroup/systemd rw - cgroup cgroup rw,name=systemd\n";
    const std::string memory = "/sys/fs/cgroup/memory", slice = "/sys/fs/cgroup/user.slice";
    const std::tuple<const char *, std::string, std::string, CgroupPaths> cases[] = {
        {"hybrid: v1 memory and an empty unified hierarchy", "9:name=systemd:/\n4:memory:/process_api/21b\n1:cpu:/\n0::/\n",
         others + v1Line + "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n",
         {{"/sys/fs/cgroup/unified"}, {memory + "/process_api/21b", memory + "/process_api", memory}}},
        {"v1 in a container: the mount root is the container's group",
         "12:cpu,cpuacct:/docker/c0ffee\n11:memory:/docker/c0ffee/job\n",
         others + "600 590 0:32 /docker/c0ffee /sys/fs/cgroup/memory ro master:17 - cgroup cgroup rw,memory",
         {{}, {memory + "/job", memory}}},
        {"v1 co-mounted with another controller", "5:cpu,memory:/\n",
         "30 1 0:30 / /cg rw - cgroup cgroup rw,cpu,memory\n", {{}, {"/cg"}}},
        {"v2 unified, a session scope", "0::/user.slice/user-1000.slice/session-2.scope\n",
         others + "30 23 0:26 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw,nsdelegate\n",
         {{slice + "/user-1000.slice/session-2.scope", slice + "/user-1000.slice", slice, "/sys/fs/cgroup"}, {}}},
        {"v2 in a container with its own namespace", "0::/\n", "700 690 0:40 / /sys/fs/cgroup ro - cgroup2 cgroup rw\n",
         {{"/sys/fs/cgroup"}, {}}},
        {"a subtree mount shows fewer levels than the whole", "4:memory:/a/b\n",
         "50 1 0:32 /a /mnt/sub rw - cgroup cgroup rw,memory\n" + v1Line, {{}, {memory + "/a/b", memory + "/a", memory}}},
        {"escaped mount point", "0::/x\n", "50 1 0:40 / /mnt/c\\040g rw - cgroup2 cgroup2 rw\n",
         {{"/mnt/c g/x", "/mnt/c g"}, {}}},
        {"a group outside the mount root, and a lookalike prefix", "4:memory:/docker/other\n0::/a/bc\n",
         "60 1 0:32 /docker/mine /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
         "61 1 0:38 /a/b /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n", {}},
        {"no memory controller mounted", "4:memory:/a\n0::/a\n", others, {}},
        {"nothing to read", "", "", {}},
    };
    for (const auto &[what, selfCgroup, mountinfo, paths] : cases)
        EXPECT_EQ(findCgroupPaths(selfCgroup, mountinfo), paths) << what;
}

// The real block source on a fixture meminfo and a fixture cgroup tree mounted at <dir>/cg,
// after each change to a file: every figure is read afresh for every block, and the score is
// raised only while a block is held. Ancestors and the figures' arithmetic: the tests above
// and MmapBlockSource.roomForBlock.
TEST(CgroupBlockSource, makesABlockOnlyWhileMemoryAndEveryLimitedLevelKeepTheReserveAndFollowsAMove)
{
    constexpr std::uint64_t needed = BlockBytes + MmapBlockSource::ReserveBytes;
    QTemporaryDir dir;
    const auto file = [&](const char *name, const std::string &text) {
        writeAll(dir.filePath(name), text);
        return dir.filePath(name).toStdString();
    };
    const auto meminfoKb = [](std::uint64_t availableKb, std::uint64_t swapFreeKb) {
        return "MemAvailable: " + std::to_string(availableKb) + " kB\nSwapFree: " + std::to_string(swapFreeKb)
            + " kB\n";
    };
    const std::string meminfo = file("meminfo", meminfoKb(67108864, 0)), oom = file("oom_score_adj", "0\n"),
                      cgroup = file("cgroup", "4:memory:/limited\n"),
                      mountinfo = file("mountinfo", "35 31 0:32 / " + dir.filePath("cg").toStdString()
                                                        + " rw - cgroup cgroup rw,memory\n");
    makeTree(dir.filePath("cg"), {v1("/limited", GiB, GiB - needed + 1), v1("", V1None, 0),
                                  v1("/free", V1None, 100 * GiB), v1("/full", GiB, 2 * GiB)});
    MmapBlockSource source(meminfo.c_str(), oom.c_str(), cgroup.c_str(), mountinfo.c_str());
    const std::tuple<const char *, const char *, std::string, bool> steps[] = {
        {"one byte short", "cgroup", "4:memory:/limited\n", false},
        {"read afresh: room now", "cg/limited/memory.usage_in_bytes", figure(GiB - needed), true},
        {"moved into a group without a limit", "cgroup", "4:memory:/free\n", true},
        {"memory and swap a kibibyte short", "meminfo", meminfoKb(needed / 1024 - 1024, 1023), false},
        {"memory read afresh: the swap makes up for it", "meminfo", meminfoKb(needed / 1024 - 1024, 1024), true},
        {"moved into a group over its limit", "cgroup", "4:memory:/full\n", false},
    };
    for (const auto &[what, name, text, made] : steps) {
        file(name, text);
        std::byte *block = source.makeBlock();
        EXPECT_EQ(block != nullptr, made) << what;
        EXPECT_EQ(readFile(dir.filePath("oom_score_adj")), QByteArray(made ? "1000" : "0\n")) << what;
        source.releaseBlock(block);
    }
    // Without the memory figures there is no proof of room; a score that cannot be raised
    // stops nothing.
    EXPECT_EQ(MmapBlockSource("/nonexistent/meminfo", oom.c_str()).makeBlock(), nullptr);
    file("cgroup", "4:memory:/free\n");
    MmapBlockSource noScore(meminfo.c_str(), "/nonexistent/oom_score_adj", cgroup.c_str(), mountinfo.c_str());
    std::byte *block = noScore.makeBlock();
    EXPECT_NE(block, nullptr);
    noScore.releaseBlock(block);
}

} // namespace
