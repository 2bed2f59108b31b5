// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_output.h"

#include "app/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace cli {
namespace {

// The first errno a write to standard output met; 0 while all went well.
int outputError = 0;

void remember(bool failed)
{
    if (failed && outputError == 0)
        outputError = errno != 0 ? errno : EIO;
}

QString reason(int error)
{
    // A write to a descriptor that is closed, or open only for reading.
    if (error == EBADF)
        return QStringLiteral("it is closed");
    return errorText(error);
}

} // namespace

QString errorText(int error)
{
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

void print(const QByteArray &bytes)
{
    errno = 0;
    remember(std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout)
        != static_cast<std::size_t>(bytes.size()));
}

void print(const QString &text)
{
    print(text.toLocal8Bit());
}

void flushOutput()
{
    errno = 0;
    remember(std::fflush(stdout) != 0);
}

int finishOutput(int status)
{
    flushOutput();
    errno = 0;
    remember(std::ferror(stdout) != 0);
    // Some file systems (NFS) report a failed write only when a descriptor of the file is
    // closed: close a copy, so standard output itself stays usable.
    if (const int copy = ::dup(STDOUT_FILENO); copy >= 0) {
        errno = 0;
        remember(::close(copy) != 0);
    }
    if (outputError == 0)
        return status;
    if (outputError == EPIPE)
        return std::max(status, int(Failed));
    return complain(QStringLiteral("cannot write to standard output: ") + reason(outputError), std::max(status, int(Failed)));
}

} // namespace cli
