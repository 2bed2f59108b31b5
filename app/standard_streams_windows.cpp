// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_output.h"

#include <fcntl.h>
#include <io.h>

#include <windows.h>

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

bool outputIsTerminal()
{
    // A console redraws in place once it reads escape sequences (Windows 10 and later);
    // one that cannot gets a line at each step, as a file does.
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return ::GetConsoleMode(output, &mode)
        && ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0
            || ::SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING));
}

int terminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info {};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

} // namespace cli
