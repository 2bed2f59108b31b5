// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_output.h"

#include <fcntl.h>
#include <io.h>

namespace cli {

void holdStandardStreams()
{
    // As on other systems: the C runtime's _open() takes the lowest free descriptor, so in this
    // order each lands where one is missing (a program started without a console has none).
    for (int fd = 0; fd <= 2; ++fd) {
        if (::_get_osfhandle(fd) == -1)
            (void)::_open("NUL", _O_RDONLY);
    }
}

} // namespace cli
