// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/linux_kernel32.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <sys/resource.h>
#include <unistd.h>

namespace memory {
namespace {

std::uint64_t floorSub(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; }

std::uint32_t cap32(std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); }

} // namespace

LinuxKernel32::LinuxKernel32(const char *meminfoPath, const char *statmPath)
    : m_meminfo(meminfoPath)
    , m_statm(statmPath)
{
}

std::uint32_t LinuxKernel32::GetVersion()
{
    // Only the top bit matters to callers: clear, the extended call is available.
    return 0x0000000Au;
}

std::uint64_t LinuxKernel32::userAddressSpace()
{
#if defined(__x86_64__)
    return 0x7FFFFFFFF000ull; // 47-bit user space less the guard page
#elif defined(__aarch64__)
    return 0x1000000000000ull; // 48-bit user space
#elif UINTPTR_MAX > 0xFFFFFFFFu
    return 0x800000000000ull;
#else
    return 0xC0000000ull; // 3 GiB on 32-bit kernels
#endif
}

bool LinuxKernel32::GlobalMemoryStatusEx(MEMORYSTATUSEX &status)
{
    if (status.dwLength != sizeof(MEMORYSTATUSEX))
        return false;
    const auto figures = m_meminfo.read();
    if (!figures || !figures->memTotal || *figures->memTotal == 0)
        return false;

    const std::uint64_t total = *figures->memTotal;
    const std::uint64_t avail = std::min(figures->available().value_or(0), total);
    const std::uint64_t commitLimit = saturatingAdd(total, figures->swapTotal.value_or(0));

    std::uint64_t space = userAddressSpace();
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        space = std::min<std::uint64_t>(space, limit.rlim_cur);

    std::uint64_t vmSize = 0;
    std::array<char, 256> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): filled by the read
    if (const auto text = m_statm.read(buffer.data(), buffer.size())) {
        std::uint64_t pages = 0;
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), pages);
        if (ec == std::errc())
            vmSize = saturatingMul(pages, static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)));
    }

    status.dwMemoryLoad = static_cast<std::uint32_t>(
        std::lround(100.0 * (1.0 - static_cast<double>(avail) / static_cast<double>(total))));
    status.ullTotalPhys = total;
    status.ullAvailPhys = avail;
    status.ullTotalPageFile = commitLimit;
    status.ullAvailPageFile = floorSub(commitLimit, figures->committedAs.value_or(0));
    status.ullTotalVirtual = space;
    status.ullAvailVirtual = floorSub(space, vmSize);
    status.ullAvailExtendedVirtual = 0;
    return true;
}

void LinuxKernel32::GlobalMemoryStatus(MEMORYSTATUS &status)
{
    MEMORYSTATUSEX ex;
    ex.dwLength = sizeof(MEMORYSTATUSEX);
    if (!GlobalMemoryStatusEx(ex))
        return;
    status.dwMemoryLoad = ex.dwMemoryLoad;
    status.dwTotalPhys = cap32(ex.ullTotalPhys);
    status.dwAvailPhys = cap32(ex.ullAvailPhys);
    status.dwTotalPageFile = cap32(ex.ullTotalPageFile);
    status.dwAvailPageFile = cap32(ex.ullAvailPageFile);
    status.dwTotalVirtual = cap32(ex.ullTotalVirtual);
    status.dwAvailVirtual = cap32(ex.ullAvailVirtual);
}

} // namespace memory
