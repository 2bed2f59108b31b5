// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/linux_kernel32.h"
#include "memory/memory_status.h"
#include "tests/support/files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace memory;

namespace {

// Files of the test's own in place of /proc/meminfo and /proc/self/statm.
struct LinuxKernel32Test : ::testing::Test
{
    QByteArray path(const char *name, const QByteArray &content) const
    {
        writeFile(dir.filePath(QString::fromLatin1(name)), content);
        return dir.filePath(QString::fromLatin1(name)).toLocal8Bit();
    }
    QTemporaryDir dir;
};

// The physical and page file figures and the load of any meminfo text: fuzz_meminfo. The
// mapped size is pages times the page size, saturating rather than wrapping (2^52 + 1 pages of
// 4 KiB would wrap to one).
TEST_F(LinuxKernel32Test, availableVirtualIsTheAddressSpaceLessTheMappedSizeAndAMissingFileGivesZeros)
{
    const QByteArray meminfo = path("meminfo", "MemTotal: 16384000 kB\n");
    const std::pair<QByteArray, double> cases[] = {{"1000 200 100 1 0 50 0\n", 1000.0 * 4096},
                                                   {"4503599627370497 1 1 1 0 1 0\n", 1e30}};
    for (const auto &[text, mapped] : cases) {
        const QByteArray statm = path("statm", text);
        LinuxKernel32 kernel(meminfo.constData(), statm.constData());
        const MemoryInfo info = GetMemoryStatus(kernel);
        EXPECT_GT(info.TotalVirtual.toDouble(), 0.0);
        EXPECT_EQ(info.AvailVirtual.toDouble(), std::max(0.0, info.TotalVirtual.toDouble() - mapped)) << text.data();
    }

    LinuxKernel32 broken("/nonexistent/meminfo");
    EXPECT_EQ(GetMemoryStatus(broken), MemoryInfo{});
}

} // namespace
