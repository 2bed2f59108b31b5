// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user settings on Windows: the registry under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>, one string
// value (REG_SZ) per key, where earlier installations kept them. A value of another type
// reads as absent and is never replaced.
#include "settings/settings_store.h"

#include <windows.h>

namespace settings {
namespace {

// Far more than the program ever writes; a bigger value is not one of ours.
constexpr DWORD maxValueBytes = 64 * 1024;

const wchar_t *wide(const QString &text) { return reinterpret_cast<const wchar_t *>(text.utf16()); }

// A name that stays one registry key: not empty, no path separator, no NUL.
bool storableKeyName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'\\') && !name.contains(QChar(0));
}

QString keyPath(const QString &application, const QString &section)
{
    return QStringLiteral("Software\\VB and VBA Program Settings\\") + application + u'\\' + section;
}

} // namespace

QString GetSetting(
    const QString &application, const QString &section, const QString &key, const QString &defaultValue)
{
    if (!storableKeyName(application) || !storableKeyName(section) || key.isEmpty() || key.contains(QChar(0)))
        return defaultValue;
    const QString path = keyPath(application, section);
    DWORD bytes = 0;
    // RRF_RT_REG_SZ: a value of any other type fails like a missing one.
    if (::RegGetValueW(HKEY_CURRENT_USER, wide(path), wide(key), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS
        || bytes > maxValueBytes)
        return defaultValue;
    // The value may grow between the two calls; then it is read as absent this time.
    QString value(static_cast<qsizetype>(bytes / sizeof(wchar_t) + 1), QChar(0));
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, wide(path), wide(key), RRF_RT_REG_SZ, nullptr, value.data(), &bytes)
        != ERROR_SUCCESS)
        return defaultValue;
    // The size counts the terminator RegGetValueW guarantees.
    value.truncate(static_cast<qsizetype>(bytes / sizeof(wchar_t)));
    while (!value.isEmpty() && value.back() == QChar(0))
        value.chop(1);
    return value;
}

bool SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value)
{
    // A NUL would end the value early; the text would not read back as given.
    if (!storableKeyName(application) || !storableKeyName(section) || key.isEmpty() || key.contains(QChar(0))
        || value.contains(QChar(0)))
        return false;
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, wide(keyPath(application, section)), 0, nullptr, 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &handle, nullptr)
        != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    const LSTATUS existing = ::RegQueryValueExW(handle, wide(key), nullptr, &type, nullptr, nullptr);
    bool stored = false;
    // A value of another type was put there by someone else: it stays.
    if (existing == ERROR_FILE_NOT_FOUND || (existing == ERROR_SUCCESS && type == REG_SZ)) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        stored = ::RegSetValueExW(handle, wide(key), 0, REG_SZ, reinterpret_cast<const BYTE *>(value.utf16()), bytes)
            == ERROR_SUCCESS;
    }
    ::RegCloseKey(handle);
    return stored;
}

} // namespace settings
