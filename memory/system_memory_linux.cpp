// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/linux_kernel32.h"
#include "memory/mmap_block_source.h"
#include "memory/system_memory.h"

namespace memory {

std::unique_ptr<Kernel32> systemKernel32() { return std::make_unique<LinuxKernel32>(); }

std::unique_ptr<BlockSource> systemBlockSource() { return std::make_unique<MmapBlockSource>(); }

const char *figuresSource() { return "/proc/meminfo, /proc/self/statm"; }

} // namespace memory
