// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace memory {

// Writes UTF-16 spaces (U+0020 in native byte order: 0x20, 0x00 here) over `bytes` bytes,
// eight bytes per store so the compiler can widen it further.
void fillWithSpaces(std::byte *data, std::size_t bytes);

} // namespace memory
