// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_output.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
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

bool outputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

int terminalColumns()
{
    winsize size {};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace cli
