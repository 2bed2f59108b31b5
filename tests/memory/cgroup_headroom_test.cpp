// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/cgroup_headroom.h"
#include "memory/mmap_block_source.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace memory;

namespace {

constexpr std::uint64_t MiB = 1ull << 20;
constexpr std::uint64_t GiB = 1ull << 30;

std::string bytes(std::uint64_t n) { return std::to_string(n) + "\n"; }

void writeAll(const QString &path, const std::string &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(text.data(), static_cast<qint64>(text.size()));
}

// One cgroup directory of a fixture tree: file name, content.
struct Level
{
    std::string dir;
    std::vector<std::pair<std::string, std::string>> files;
};

// Levels under `root`, innermost first, written out; their full paths. A level without files
// is only a name: no directory is made for it.
std::vector<std::string> makeTree(const QString &root, const std::vector<Level> &levels)
{
    std::vector<std::string> dirs;
    for (const Level &level : levels) {
        const QString dir = root + QString::fromStdString(level.dir);
        EXPECT_TRUE(level.files.empty() || QDir().mkpath(dir));
        for (const auto &[name, content] : level.files)
            writeAll(dir + QLatin1Char('/') + QString::fromStdString(name), content);
        dirs.push_back(dir.toStdString());
    }
    return dirs;
}

Level v2(std::string dir, std::string max, std::string high, std::uint64_t current)
{
    return {std::move(dir), {{"memory.max", max}, {"memory.high", high}, {"memory.current", bytes(current)}}};
}
Level v1(std::string dir, std::string limit, std::uint64_t usage)
{
    return {std::move(dir), {{"memory.limit_in_bytes", limit}, {"memory.usage_in_bytes", bytes(usage)}}};
}

TEST(CgroupHeadroom, isTheSmallestLimitMinusUsageOverTheLimitedLevels)
{
    const std::string v1None = "9223372036854771712\n"; // what v1 reports for no limit
    struct Case
    {
        const char *what;
        std::vector<Level> unified, v1;
        std::optional<std::uint64_t> headroom;
    };
    const Case cases[] = {
        {"v2 memory.max", {v2("/a", bytes(GiB), "max\n", 256 * MiB)}, {}, 768 * MiB},
        {"v2 memory.high below memory.max",
         {v2("/a", bytes(GiB), bytes(512 * MiB), 256 * MiB)}, {}, 256 * MiB},
        {"v2 max everywhere", {v2("/a", "max\n", "max\n", 256 * MiB), v2("", "max\n", "max\n", GiB)}, {}, {}},
        {"an ancestor's limit is tighter",
         {v2("/a/b", bytes(2 * GiB), "max\n", 100 * MiB), v2("/a", bytes(GiB), "max\n", 900 * MiB), {"", {}}},
         {},
         124 * MiB},
        {"the child's limit is tighter",
         {v2("/a/b", bytes(300 * MiB), "max\n", 100 * MiB), v2("/a", bytes(GiB), "max\n", 100 * MiB)},
         {},
         200 * MiB},
        {"v1 limit", {}, {v1("/a", bytes(GiB), 256 * MiB), v1("", v1None, 2 * GiB)}, 768 * MiB},
        {"v1 no limit anywhere", {}, {v1("/a", v1None, 256 * MiB), v1("", v1None, GiB)}, {}},
        {"2^62 is no limit, one less is one",
         {},
         {v1("/a", bytes(NoCgroupLimitFrom), NoCgroupLimitFrom - 1), v1("", bytes(NoCgroupLimitFrom - 1), 1)},
         NoCgroupLimitFrom - 2},
        {"usage above or at the limit leaves none",
         {v2("/a", bytes(GiB), "max\n", GiB)},
         {v1("/a", bytes(GiB), GiB + 4096)},
         0},
        {"hybrid: both hierarchies count",
         {v2("/u", bytes(GiB), "max\n", 0)},
         {v1("/m", bytes(512 * MiB), 0)},
         512 * MiB},
        {"no usage file, or no limit file: no limit at that level",
         {{"/a/b", {{"memory.max", bytes(GiB)}}}, {"/a", {{"memory.current", bytes(GiB)}}}},
         {{"/m", {{"memory.limit_in_bytes", bytes(GiB)}}}},
         {}},
        {"unreadable figures set no limit",
         {v2("/a", "12abc\n", "\n", 0), {"/b", {{"memory.max", bytes(GiB)}, {"memory.current", "lots\n"}}}},
         {v1("/m", "-1\n", 0)},
         {}},
        {"directories that are not there", {{"/gone", {}}}, {{"/gone/too", {}}}, {}},
    };
    QTemporaryDir dir;
    int n = 0;
    for (const Case &c : cases) {
        const QString root = dir.filePath(QString::number(n++));
        const CgroupPaths paths{makeTree(root + QStringLiteral("/u"), c.unified),
                                makeTree(root + QStringLiteral("/v1"), c.v1)};
        EXPECT_EQ(cgroupHeadroom(paths), c.headroom) << c.what;
    }
}

TEST(CgroupHeadroom, readerSeesNewFiguresThroughItsKeptFilesOnEveryRead)
{
    QTemporaryDir dir;
    const CgroupPaths paths{makeTree(dir.path(), {v2("/a", "max\n", "max\n", 100 * MiB)}), {}};
    const QString a = dir.filePath(QStringLiteral("a/"));
    CgroupHeadroomReader reader(paths);
    EXPECT_EQ(reader.read(), std::nullopt);
    writeAll(a + QStringLiteral("memory.max"), bytes(GiB));
    EXPECT_EQ(reader.read(), GiB - 100 * MiB);
    writeAll(a + QStringLiteral("memory.current"), bytes(9)); // shorter than before
    EXPECT_EQ(reader.read(), GiB - 9);
    writeAll(a + QStringLiteral("memory.high"), bytes(10));
    EXPECT_EQ(reader.read(), 1u);

    // Moved from, the descriptors belong to the new reader alone.
    const CgroupHeadroomReader moved(std::move(reader));
    EXPECT_EQ(moved.read(), 1u);
    // NOLINTNEXTLINE(bugprone-use-after-move,clang-analyzer-cplusplus.Move): left empty on purpose
    EXPECT_EQ(reader.read(), std::nullopt);
}

TEST(FindCgroupPaths, mapsTheProcessCgroupThroughTheMountOntoItsDirectoryAndAncestors)
{
    const std::string v1Line = "35 31 0:32 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n";
    const std::string v2Line = "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";
    const std::string others = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                               "32 31 0:29 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
                               "40 31 0:37 / /sys/fs/cgroup/systemd rw - cgroup cgroup rw,name=systemd\n";
    using Dirs = std::vector<std::string>;
    struct Case
    {
        const char *what;
        std::string selfCgroup, mountinfo;
        CgroupPaths paths;
    };
    const Case cases[] = {
        {"hybrid: v1 memory and an empty unified hierarchy",
         "9:name=systemd:/\n4:memory:/process_api/21b\n1:cpu:/\n0::/\n", others + v1Line + v2Line,
         {Dirs{"/sys/fs/cgroup/unified"},
          Dirs{"/sys/fs/cgroup/memory/process_api/21b", "/sys/fs/cgroup/memory/process_api",
               "/sys/fs/cgroup/memory"}}},
        {"v1 in a container: the mount root is the container's group",
         "12:cpu,cpuacct:/docker/c0ffee\n11:memory:/docker/c0ffee/job\n",
         others + "600 590 0:32 /docker/c0ffee /sys/fs/cgroup/memory ro master:17 - cgroup cgroup rw,memory",
         {{}, Dirs{"/sys/fs/cgroup/memory/job", "/sys/fs/cgroup/memory"}}},
        {"v1 co-mounted with another controller",
         "5:cpu,memory:/\n", "30 1 0:30 / /cg rw - cgroup cgroup rw,cpu,memory\n", {{}, Dirs{"/cg"}}},
        {"v2 unified, a session scope",
         "0::/user.slice/user-1000.slice/session-2.scope\n",
         others + "30 23 0:26 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw,nsdelegate\n",
         {Dirs{"/sys/fs/cgroup/user.slice/user-1000.slice/session-2.scope",
               "/sys/fs/cgroup/user.slice/user-1000.slice", "/sys/fs/cgroup/user.slice", "/sys/fs/cgroup"},
          {}}},
        {"v2 in a container with its own namespace", "0::/\n",
         "700 690 0:40 / /sys/fs/cgroup ro - cgroup2 cgroup rw\n", {Dirs{"/sys/fs/cgroup"}, {}}},
        {"a subtree mount shows fewer levels than the whole",
         "4:memory:/a/b\n",
         "50 1 0:32 /a /mnt/sub rw - cgroup cgroup rw,memory\n" + v1Line,
         {{}, Dirs{"/sys/fs/cgroup/memory/a/b", "/sys/fs/cgroup/memory/a", "/sys/fs/cgroup/memory"}}},
        {"escaped mount point", "0::/x\n", "50 1 0:40 / /mnt/c\\040g rw - cgroup2 cgroup2 rw\n",
         {Dirs{"/mnt/c g/x", "/mnt/c g"}, {}}},
        {"a group outside the mount root, and a lookalike prefix",
         "4:memory:/docker/other\n0::/a/bc\n",
         "60 1 0:32 /docker/mine /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
         "61 1 0:38 /a/b /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n",
         {}},
        {"no memory controller mounted", "4:memory:/a\n0::/a\n", others, {}},
        {"nothing to read", "", "", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(findCgroupPaths(c.selfCgroup, c.mountinfo), c.paths) << c.what;
}

// The real block source in a fixture cgroup tree mounted at <dir>/cg, with all the memory
// the machine could want.
struct CgroupSource : ::testing::Test
{
    void SetUp() override
    {
        writeAll(dir.filePath(QStringLiteral("meminfo")), "MemAvailable: 67108864 kB\n");
        writeAll(dir.filePath(QStringLiteral("oom_score_adj")), "0\n");
        writeAll(dir.filePath(QStringLiteral("mountinfo")),
                 "35 31 0:32 / " + dir.filePath(QStringLiteral("cg")).toStdString()
                     + " rw - cgroup cgroup rw,memory\n");
        moveTo("/limited");
    }
    void moveTo(const std::string &group)
    {
        writeAll(QString::fromStdString(cgroup), "4:memory:" + group + "\n");
    }
    std::string path(const char *name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }

    QTemporaryDir dir;
    std::string meminfo = path("meminfo"), oom = path("oom_score_adj"), cgroup = path("cgroup"),
                mountinfo = path("mountinfo");
    MmapBlockSource source() const
    {
        return MmapBlockSource(meminfo.c_str(), oom.c_str(), cgroup.c_str(), mountinfo.c_str());
    }
};

TEST_F(CgroupSource, blockIsMadeOnlyWhileEveryLimitedLevelKeepsTheReserveAndFollowsAMove)
{
    constexpr std::uint64_t needed = BlockBytes + MmapBlockSource::ReserveBytes;
    const QString cg = dir.filePath(QStringLiteral("cg"));
    const std::string none = "9223372036854771712\n";
    makeTree(cg, {v1("/limited", bytes(GiB), GiB - needed + 1), v1("", none, 0), v1("/free", none, 100 * GiB),
                  v1("/full", bytes(GiB), 2 * GiB)});
    MmapBlockSource s = source();
    EXPECT_EQ(s.makeBlock(), nullptr) << "one byte short";

    writeAll(cg + QStringLiteral("/limited/memory.usage_in_bytes"), bytes(GiB - needed));
    std::byte *block = s.makeBlock();
    ASSERT_NE(block, nullptr) << "read afresh: room now";
    s.releaseBlock(block);

    // The root's limit binds the group below it.
    writeAll(cg + QStringLiteral("/memory.limit_in_bytes"), bytes(needed - 1));
    EXPECT_EQ(s.makeBlock(), nullptr) << "an ancestor without room";
    writeAll(cg + QStringLiteral("/memory.limit_in_bytes"), none);

    // Moved between runs: the new group's figures count, no limit or no room.
    moveTo("/free");
    block = s.makeBlock();
    ASSERT_NE(block, nullptr) << "moved into a group without a limit";
    s.releaseBlock(block);
    moveTo("/full");
    EXPECT_EQ(s.makeBlock(), nullptr) << "moved into a group over its limit";
    EXPECT_EQ(s.liveBlocks(), 0);
}

} // namespace
