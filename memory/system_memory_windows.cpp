// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/system_memory.h"
#include "memory/virtual_alloc_block_source.h"
#include "memory/windows_kernel32.h"

namespace memory {

std::unique_ptr<Kernel32> systemKernel32() { return std::make_unique<WindowsKernel32>(); }

std::unique_ptr<BlockSource> systemBlockSource() { return std::make_unique<VirtualAllocBlockSource>(); }

const char *figuresSource() { return "GlobalMemoryStatusEx"; }

} // namespace memory
