// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_output.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

void holdStandardStreams()
{
    // open() takes the lowest free descriptor: in this order each lands where one is missing.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            (void)::open("/dev/null", O_RDONLY);
    }
}

} // namespace cli
