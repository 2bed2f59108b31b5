// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/linux_kernel32.h"
#include "memory/memory_status.h"
#include "memory/proc_meminfo.h"
#include "tests/support/files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace memory;

namespace {

constexpr const char *sample = "MemTotal:       16384000 kB\n"
                               "MemFree:         1000000 kB\n"
                               "MemAvailable:    8192000 kB\n"
                               "Buffers:          200000 kB\n"
                               "Cached:          3000000 kB\n"
                               "SwapTotal:       2048000 kB\n"
                               "SwapFree:        1024000 kB\n"
                               "Committed_AS:   20000000 kB\n"
                               "HugePages_Total:       0\n";

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

TEST_F(LinuxKernel32Test, mapsMeminfoAndStatmOntoTheRecordAndAMissingFileToZeros)
{
    const QByteArray meminfo = path("meminfo", sample);
    const QByteArray statm = path("statm", "1000 200 100 1 0 50 0\n");
    LinuxKernel32 kernel(meminfo.constData(), statm.constData());
    const MemoryInfo info = GetMemoryStatus(kernel);
    // The physical figures of any text, and an empty file: fuzz_meminfo.
    EXPECT_EQ(info.MemoryLoad, 50);
    EXPECT_EQ(info.TotalPageFile.toDouble(), (16384000.0 + 2048000.0) * 1024);
    EXPECT_EQ(info.AvailPageFile.toDouble(), 0.0); // over-committed: floored at 0
    EXPECT_EQ(info.AvailVirtual.toDouble(), info.TotalVirtual.toDouble() - 1000.0 * 4096);
    EXPECT_GT(info.TotalVirtual.toDouble(), 0.0);

    LinuxKernel32 broken("/nonexistent/meminfo");
    EXPECT_EQ(GetMemoryStatus(broken), MemoryInfo{});
}

// Figures the kernel would never write, but which must not wrap around to small ones.
TEST_F(LinuxKernel32Test, sumsAndProductsSaturateInsteadOfWrapping)
{
    const QByteArray top = "18014398509481983 kB\n"; // the largest count of kB that fits in bytes
    // The sum of MemFree, Buffers and Cached saturates in fuzz_meminfo.
    const QByteArray meminfo = path("meminfo", "MemTotal: " + top + "SwapTotal: " + top);
    const QByteArray statm = path("statm", "18446744073709551615 1 1 1 0 1 0\n");
    LinuxKernel32 kernel(meminfo.constData(), statm.constData());
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    ASSERT_TRUE(kernel.GlobalMemoryStatusEx(status));
    EXPECT_EQ(status.ullTotalPageFile, UINT64_MAX);
    EXPECT_EQ(status.ullAvailVirtual, 0u);
}

} // namespace
