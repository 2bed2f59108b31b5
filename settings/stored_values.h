// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/settings_store.h"

#include <QString>

// The program's three stored values, in one place: their keys in the settings section, the
// text that stands for a value never stored, and the range the setup dialog offers.
namespace settings {

struct StoredValue
{
    QString key;
    QString defaultText;
    int minimum = 0;
    int maximum = 0;

    // The stored text, or defaultText when there is none or the file cannot be read.
    QString read() const { return GetSetting(Application, Section, key, defaultText); }
    // Stores `text`; false, with the file as it was, when it cannot be stored.
    bool write(const QString &text) const { return SaveSetting(Application, Section, key, text); }
};

// The used-memory level, in percent, at which the automatic release starts.
inline const StoredValue AutoKelvanePeak { QStringLiteral("AutoKelvanePeak"), QStringLiteral("95"), 50, 100 };
// The amount, in MB, that the automatic release frees.
inline const StoredValue AutoKelvaneMB { QStringLiteral("AutoKelvaneMB"), QStringLiteral("10"), 1, 1024 };
// The window state when the program last ended: 1 (minimised) starts it in the tray.
inline const StoredValue KelvaneTray { QStringLiteral("KelvaneTray"), QStringLiteral("0"), 0, 2 };

} // namespace settings
