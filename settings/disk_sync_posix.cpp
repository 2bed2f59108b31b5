// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/disk_sync.h"

#include <QFileDevice>

#include <cerrno>
#include <unistd.h>

namespace settings {

bool syncToDisk(QFileDevice &file)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
    int result = 0;
    do
        result = ::fsync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

} // namespace settings
