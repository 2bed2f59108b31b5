// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A settings store of the test's own while the object lives: on Linux XDG_CONFIG_HOME names a
// fresh, empty folder; on Windows the program's registry key starts and ends empty (the
// tests run in a Wine prefix of their own). The program keeps its values under "Copperline",
// section "Settings".
#include "settings/settings_store.h"

#include <QByteArray>
#include <QTemporaryDir>

struct SettingsFolder
{
    SettingsFolder();
    ~SettingsFolder();
    SettingsFolder(const SettingsFolder &) = delete;
    SettingsFolder &operator=(const SettingsFolder &) = delete;

    static QString stored(const QString &key)
    {
        return settings::GetSetting(QStringLiteral("Copperline"), QStringLiteral("Settings"), key,
                                    QStringLiteral("<absent>"));
    }
    static bool store(const QString &key, const QString &value)
    {
        return settings::SaveSetting(QStringLiteral("Copperline"), QStringLiteral("Settings"), key, value);
    }

    QByteArray previous;
    QTemporaryDir dir;
};
