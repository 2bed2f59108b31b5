// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/kernel32.h"
#include "memory/release_engine.h"

#include <memory>

namespace memory {

// The memory calls of the system the program runs on: /proc on Linux, kernel32 itself on
// Windows.
std::unique_ptr<Kernel32> systemKernel32();
// The blocks of a real release on this system.
std::unique_ptr<BlockSource> systemBlockSource();
// Where systemKernel32() reads the figures, for messages that say it could not.
const char *figuresSource();

} // namespace memory
