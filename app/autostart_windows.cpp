// SPDX-License-Identifier: GPL-3.0-or-later
// The login start on Windows: the value "Kelvane" under the user's Run key, a command line
// that starts the program in the tray: "C:\...\kelvane.exe" /tray.
#include "app/autostart.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace autostart {
namespace {

const wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t valueName[] = L"Kelvane";

const wchar_t *wide(const QString &text) { return reinterpret_cast<const wchar_t *>(text.utf16()); }

// The system's text for a registry call's result, in lower case as it follows a colon, without
// the full stop and line break the system ends it with.
QString reasonOf(LSTATUS result)
{
    if (result == ERROR_ACCESS_DENIED)
        return QStringLiteral("access denied");
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason = length ? QString::fromWCharArray(text, static_cast<qsizetype>(length)).trimmed()
                            : QStringLiteral("error %1").arg(result);
    ::LocalFree(text);
    if (reason.endsWith(u'.'))
        reason.chop(1);
    if (!reason.isEmpty())
        reason[0] = reason[0].toLower();
    return reason;
}

bool succeeded(LSTATUS result, QString *why)
{
    if (result != ERROR_SUCCESS && why)
        *why = reasonOf(result);
    return result == ERROR_SUCCESS;
}

} // namespace

QString entryPath()
{
    return QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromWCharArray(runKey) + u'\\'
        + QString::fromWCharArray(valueName);
}

QString execArgument(const QString &argument)
{
    // Always in quotes, as the shell writes a program's path there, and quoted as the C runtime
    // splits a command line: backslashes count only before a quote.
    QString quoted(u'"');
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted += QString(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted += QString(2 * backslashes, u'\\');
    return quoted + u'"';
}

QByteArray entry(const QString &program)
{
    // The console twin kelvanec.exe would open a console at every login: the entry starts the
    // windowed kelvane.exe beside it.
    const QFileInfo file(program);
    const QString windowed = file.completeBaseName().compare(QLatin1String("kelvanec"), Qt::CaseInsensitive) == 0
        ? file.dir().filePath(QStringLiteral("kelvane.exe"))
        : program;
    return (execArgument(QDir::toNativeSeparators(windowed)) + QStringLiteral(" /tray")).toUtf8();
}

bool isOn()
{
    return ::RegGetValueW(HKEY_CURRENT_USER, runKey, valueName, RRF_RT_REG_SZ, nullptr, nullptr, nullptr)
        == ERROR_SUCCESS;
}

bool turnOn(const QString &program, QString *why)
{
    const QString command = QString::fromUtf8(entry(program));
    const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    return succeeded(::RegSetKeyValueW(HKEY_CURRENT_USER, runKey, valueName, REG_SZ, wide(command), bytes), why);
}

bool turnOff(QString *why)
{
    const LSTATUS result = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, runKey, valueName);
    return result == ERROR_FILE_NOT_FOUND || succeeded(result, why);
}

} // namespace autostart
