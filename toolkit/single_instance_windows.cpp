// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/single_instance.h"

#include <windows.h>

namespace toolkit {

// A mutex in the session's own namespace: each logged-on user's session has its own
// instance. Whoever creates it first runs; the system closes the handle with the process
// however it ends, and the mutex goes with its last handle, so nothing outlives a crash.
InstanceLock::InstanceLock(const QString &name)
{
    const QString path = QStringLiteral("Local\\") + name;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t *>(path.utf16()));
    const DWORD error = ::GetLastError();
    if (!mutex) {
        // Another program's object of another kind under this name: start rather than refuse.
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        m_anotherRuns = true;
        ::CloseHandle(mutex);
        return;
    }
    m_handle = mutex;
}

InstanceLock::~InstanceLock()
{
    if (m_handle)
        ::CloseHandle(static_cast<HANDLE>(m_handle));
}

// Windows has no runtime folder to miss, so the toolkit never gives that notice.
void quietMissingRuntimeDirNotice() {}

} // namespace toolkit
