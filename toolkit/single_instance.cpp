// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/single_instance.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace toolkit {
namespace {

// The runtime directory only when it is what the base-directory rules promise: an absolute
// path to a folder of ours that no one else may enter.
bool usableRuntimeDir(const QByteArray &dir)
{
    struct stat st{};
    return !dir.isEmpty() && dir.startsWith('/') && ::stat(dir.constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Takes the lock on the file `path`, made when missing; the descriptor that holds it, or -1.
// *held tells whether another process holds it.
int lockFile(const QString &path, bool *held)
{
    // O_NOFOLLOW: in a shared folder a link planted by someone else must not be followed.
    // O_CLOEXEC: programs started from here (the credits address) must not inherit the lock.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    // A file someone else put there is not ours to trust: its owner could hold it for ever
    // and keep every start from running.
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return fd;
    *held = errno == EWOULDBLOCK;
    ::close(fd);
    return -1;
}

QtMessageHandler previousHandler = nullptr;

void dropMissingRuntimeDirNotice(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    previousHandler(type, context, message);
}

} // namespace

InstanceLock::InstanceLock(const QString &name)
{
    // Shared temp folder: the user id keeps users apart.
    m_sharedFd = lockFile(QDir::tempPath() + QStringLiteral("/%1-%2").arg(name).arg(::geteuid()), &m_anotherRuns);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!m_anotherRuns && usableRuntimeDir(runtime))
        m_runtimeFd = lockFile(QFile::decodeName(runtime) + QLatin1Char('/') + name, &m_anotherRuns);
}

InstanceLock::~InstanceLock()
{
    // Closing a descriptor releases its lock; the files stay for the next start.
    for (const int fd : {m_sharedFd, m_runtimeFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void quietMissingRuntimeDirNotice()
{
    if (!previousHandler)
        previousHandler = qInstallMessageHandler(dropMissingRuntimeDirNotice);
}

} // namespace toolkit
