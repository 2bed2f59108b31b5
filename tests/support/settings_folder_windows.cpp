// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/settings_folder.h"

#include <windows.h>

namespace {

void removeProgramKey()
{
    (void)::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Copperline");
}

} // namespace

SettingsFolder::SettingsFolder() { removeProgramKey(); }

SettingsFolder::~SettingsFolder() { removeProgramKey(); }
