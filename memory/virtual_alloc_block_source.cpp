// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/virtual_alloc_block_source.h"

#include "memory/block_fill.h"

#include <windows.h>

namespace memory {
namespace {

// Crash dumps leave out the blocks registered here (WerRegisterExcludedMemoryBlock, in
// kernel32 from Windows 10 on); looked up at run time so older systems and Wine, which lack
// it, simply keep the blocks in their dumps.
using ExcludeCall = HRESULT(WINAPI *)(const void *, DWORD);
using IncludeCall = HRESULT(WINAPI *)(const void *);

template<typename Call> Call kernel32Call(const char *name)
{
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    // Function pointers of any type convert through a generic one without a warning.
    const auto generic = reinterpret_cast<void (*)()>(kernel ? ::GetProcAddress(kernel, name) : nullptr);
    return reinterpret_cast<Call>(generic);
}

void excludeFromDumps(const void *block)
{
    static const auto exclude = kernel32Call<ExcludeCall>("WerRegisterExcludedMemoryBlock");
    if (exclude)
        (void)exclude(block, static_cast<DWORD>(BlockBytes));
}

void includeInDumps(const void *block)
{
    static const auto include = kernel32Call<IncludeCall>("WerUnregisterExcludedMemoryBlock");
    if (include)
        (void)include(block);
}

} // namespace

VirtualAllocBlockSource::VirtualAllocBlockSource()
    : m_figures(m_kernel)
{
}

VirtualAllocBlockSource::VirtualAllocBlockSource(Kernel32 &figures)
    : m_figures(figures)
{
}

bool VirtualAllocBlockSource::roomForBlock(const MEMORYSTATUSEX &status)
{
    const std::uint64_t needed = BlockBytes + ReserveBytes;
    return status.ullAvailPageFile >= needed && status.ullAvailPhys >= needed;
}

std::byte *VirtualAllocBlockSource::makeBlock()
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    // No figures, no proof that the block leaves the reserve.
    if (!m_figures.GlobalMemoryStatusEx(status) || !roomForBlock(status))
        return nullptr;
    void *committed = ::VirtualAlloc(nullptr, BlockBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!committed)
        return nullptr;
    excludeFromDumps(committed);
    auto *block = static_cast<std::byte *>(committed);
    fillWithSpaces(block, BlockBytes);
    ++m_live;
    return block;
}

void VirtualAllocBlockSource::releaseBlock(std::byte *block) noexcept
{
    if (!block)
        return;
    includeInDumps(block);
    ::VirtualFree(block, 0, MEM_RELEASE);
    --m_live;
}

} // namespace memory
