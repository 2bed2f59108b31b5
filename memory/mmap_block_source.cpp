// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/mmap_block_source.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace memory {
namespace {

constexpr int topOomScore = 1000;

bool writeWhole(const char *path, const char *text, std::size_t length)
{
    const int fd = ::open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t n = 0;
    do
        n = ::write(fd, text, length);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == static_cast<ssize_t>(length);
}

} // namespace

OomScoreRaise::OomScoreRaise(const char *path)
    : m_path(path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    const ssize_t n = ::read(fd, m_previous.data(), m_previous.size());
    ::close(fd);
    if (n <= 0)
        return;
    m_previousLength = static_cast<std::size_t>(n);

    int previous = 0;
    const auto parsed = std::from_chars(m_previous.data(), m_previous.data() + m_previousLength, previous);
    if (parsed.ec != std::errc() || previous >= topOomScore)
        return;
    // Without a value to put back the score is left alone.
    m_raised = writeWhole(path, "1000", 4);
}

OomScoreRaise::~OomScoreRaise()
{
    // Lowering the score again is allowed down to where it stood; failure leaves it high,
    // which harms nothing but this process.
    if (m_raised)
        (void)writeWhole(m_path, m_previous.data(), m_previousLength);
}

MmapBlockSource::MmapBlockSource(const char *meminfoPath, const char *oomScorePath, const char *selfCgroupPath,
                                 const char *mountinfoPath)
    : m_meminfo(meminfoPath)
    , m_cgroup(selfCgroupPath, mountinfoPath)
    , m_oomScorePath(oomScorePath)
{
}

MmapBlockSource::~MmapBlockSource() = default;

bool MmapBlockSource::roomForBlock(const MeminfoFigures &figures)
{
    const auto available = figures.available();
    if (!available)
        return false; // no figure, no proof that the block can be backed
    const std::uint64_t needed = BlockBytes + ReserveBytes;
    if (*available >= needed)
        return true;
    return figures.swapFree.value_or(0) >= needed - *available;
}

bool MmapBlockSource::roomInCgroup(std::optional<std::uint64_t> headroom)
{
    return !headroom || *headroom >= BlockBytes + ReserveBytes;
}

std::byte *MmapBlockSource::makeBlock()
{
    const auto figures = m_meminfo.read();
    if (!figures || !roomForBlock(*figures))
        return nullptr;
    // With no block held (the first of a run) the process may have been moved since the
    // last run; within a run, a few seconds, it stays where it is.
    if (m_live == 0)
        m_cgroup.follow();
    if (!roomInCgroup(m_cgroup.read()))
        return nullptr;

    void *mapped = ::mmap(nullptr, BlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    // Kept out of core dumps: a crash or Ctrl-\ during a release would otherwise write every
    // block to disk, gigabytes of spaces. Should the kernel refuse, the block is still good.
    (void)::madvise(mapped, BlockBytes, MADV_DONTDUMP);
    // Raised before the first page is touched: from here on this process holds the memory.
    if (m_live++ == 0)
        m_oomRaise.emplace(m_oomScorePath);
    auto *block = static_cast<std::byte *>(mapped);
    fillWithSpaces(block, BlockBytes);
    return block;
}

void MmapBlockSource::releaseBlock(std::byte *block) noexcept
{
    if (!block)
        return;
    ::munmap(block, BlockBytes);
    if (--m_live == 0)
        m_oomRaise.reset();
}

} // namespace memory
