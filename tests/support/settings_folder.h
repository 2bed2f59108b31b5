// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A settings folder of the test's own: XDG_CONFIG_HOME names a fresh, empty folder while the
// object lives. The program keeps its values under "Copperline", section "Settings".
#include "settings/settings_store.h"

#include <QFile>
#include <QTemporaryDir>

struct SettingsFolder
{
    SettingsFolder() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    ~SettingsFolder() { qputenv("XDG_CONFIG_HOME", previous); }

    static QString stored(const QString &key)
    {
        return settings::GetSetting(QStringLiteral("Copperline"), QStringLiteral("Settings"), key,
                                    QStringLiteral("<absent>"));
    }
    static bool store(const QString &key, const QString &value)
    {
        return settings::SaveSetting(QStringLiteral("Copperline"), QStringLiteral("Settings"), key, value);
    }

    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
};
