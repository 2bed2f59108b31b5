// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace toolkit {

// Marks the running instance of a program for the user's login: an exclusive advisory lock
// (flock) on a file in the user's runtime directory ($XDG_RUNTIME_DIR, else a per-user file
// in the temp directory). The kernel drops the lock with the process however it ends, so a
// crashed or killed instance never blocks the next start, and a recycled process id cannot
// be mistaken for a live instance.
class InstanceLock final
{
public:
    // Tries to take the lock named `name` (a file name without folder).
    explicit InstanceLock(const QString &name);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when another process holds the lock. False when this one holds it, and also when
    // no lock could be made at all (no usable folder): a program that cannot tell starts
    // rather than refusing to.
    bool anotherInstanceRuns() const { return m_anotherRuns; }
    // The lock file's path; empty when none could be made.
    QString path() const { return m_path; }

private:
    int m_fd = -1;
    bool m_anotherRuns = false;
    QString m_path;
};

} // namespace toolkit
