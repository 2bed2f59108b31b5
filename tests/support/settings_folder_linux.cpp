// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/settings_folder.h"

#include <QFile>

SettingsFolder::SettingsFolder()
    : previous(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
}

SettingsFolder::~SettingsFolder() { qputenv("XDG_CONFIG_HOME", previous); }
