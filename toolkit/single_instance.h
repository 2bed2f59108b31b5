// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace toolkit {

// Marks the running instance of a program for the user: exclusive advisory locks (flock) on
// a file named with the user id in the temp folder, taken at every start whatever the
// environment says, and on a file in the user's runtime directory ($XDG_RUNTIME_DIR) when
// that is a private folder of the user before the toolkit starts. Another instance runs when
// either is held. The first makes the answer the same for every start of the user, whatever
// the toolkit makes of a missing runtime folder afterwards; the second still tells when the
// temp folder differs between two starts (TMPDIR) or its file is someone else's. On Windows
// the mark is a named mutex of the user's session. The kernel drops the locks and the mutex
// with the process however it ends, so a crashed or killed instance never blocks the next
// start, and a recycled process id cannot be mistaken for a live instance.
class InstanceLock final
{
public:
    // Tries to take the locks named `name` (a file name without folder).
    explicit InstanceLock(const QString &name);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when another process holds a lock. False when this one holds them, and also when
    // no lock could be made at all (no usable folder): a program that cannot tell starts
    // rather than refusing to.
    bool anotherInstanceRuns() const { return m_anotherRuns; }

private:
    int m_sharedFd = -1;
    int m_runtimeFd = -1;
    [[maybe_unused]] void *m_handle = nullptr; // the mutex, where the lock is one
    bool m_anotherRuns = false;
};

// Keeps the toolkit's notice that XDG_RUNTIME_DIR is not set off standard error: the lock
// above does without that folder, so the notice would only come before the program's own
// one-line messages. Every other message goes on as before.
void quietMissingRuntimeDirNotice();

} // namespace toolkit
