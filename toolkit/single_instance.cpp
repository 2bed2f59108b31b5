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

QString lockPath(const QString &name)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (usableRuntimeDir(runtime))
        return QFile::decodeName(runtime) + QLatin1Char('/') + name;
    // Shared temp folder: the user id keeps users apart.
    return QDir::tempPath() + QStringLiteral("/%1-%2").arg(name).arg(::geteuid());
}

} // namespace

InstanceLock::InstanceLock(const QString &name)
    : m_path(lockPath(name))
{
    const QByteArray file = QFile::encodeName(m_path);
    // O_NOFOLLOW: in a shared folder a link planted by someone else must not be followed.
    // O_CLOEXEC: programs started from here (the credits address) must not inherit the lock.
    m_fd = ::open(file.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_path.clear();
        return;
    }
    int result = 0;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_anotherRuns = errno == EWOULDBLOCK;
        ::close(m_fd);
        m_fd = -1;
        if (!m_anotherRuns)
            m_path.clear();
    }
}

InstanceLock::~InstanceLock()
{
    // Closing the descriptor releases the lock; the file stays for the next start.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace toolkit
