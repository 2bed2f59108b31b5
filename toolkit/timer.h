// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>

namespace toolkit {

// A timer whose "enabled" state is its running state: enabling it starts a fresh
// interval, disabling it stops it. Ticks arrive on the GUI thread.
class Timer final : public QTimer
{
    Q_OBJECT
public:
    explicit Timer(int intervalMs, QObject *parent = nullptr)
        : QTimer(parent)
    {
        setInterval(intervalMs);
    }

    bool isEnabled() const { return isActive(); }
    void setEnabled(bool enabled)
    {
        if (enabled)
            start();
        else
            stop();
    }
};

} // namespace toolkit
