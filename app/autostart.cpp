// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/autostart.h"

#include "app/command_output.h"
#include "settings/settings_store.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace autostart {
namespace {

// Characters that make a desktop entry's Exec argument need quotes.
const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

// The escapes of a string value, which a reader undoes before it reads the quoting. The
// backslash goes first, so that the escapes written after it stay as they are.
QString escapedValue(QString text)
{
    for (const auto &[raw, escape] : { std::pair { u'\\', "\\\\" }, std::pair { u'\n', "\\n" },
             std::pair { u'\t', "\\t" }, std::pair { u'\r', "\\r" } })
        text.replace(QChar(raw), QLatin1String(escape));
    return text;
}

// Why the entry could not be written into `folder`, found after the fact: the nearest part of
// the path that exists is a file, or cannot be written, or else the write itself failed with
// `writeError`.
QString whyNotWritten(const QString &folder, int writeError)
{
    QString path = folder;
    while (!QFileInfo::exists(path) && QFileInfo(path).path() != path)
        path = QFileInfo(path).path();
    if (!QFileInfo(path).isDir())
        return path + QStringLiteral(" is not a folder");
    if (::access(QFile::encodeName(path).constData(), W_OK | X_OK) != 0)
        return cli::errorText(errno);
    return cli::errorText(writeError != 0 ? writeError : EIO);
}

} // namespace

QString entryPath()
{
    return settings::configHome() + QStringLiteral("/autostart/kelvane.desktop");
}

QString execArgument(const QString &argument)
{
    QString quoted = argument;
    if (std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); })) {
        quoted = u'"';
        for (const QChar c : argument) {
            // Inside the quotes these four stand for themselves only after a backslash.
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        quoted += u'"';
    }
    // A lone '%' would start a field code.
    quoted.replace(u'%', QLatin1String("%%"));
    return escapedValue(quoted);
}

QByteArray entry(const QString &program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kelvane\n"
                          "Comment=Free physical memory at a click\n"
                          "Exec=%1 --tray\n"
                          "Icon=kelvane\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(program))
        .toUtf8();
}

bool isOn()
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

bool turnOn(const QString &program, QString *why)
{
    const QString path = entryPath();
    errno = 0;
    if (settings::writeFileAtomically(path, entry(program)))
        return true;
    const int writeError = errno;
    if (why)
        *why = whyNotWritten(QFileInfo(path).path(), writeError);
    return false;
}

bool turnOff(QString *why)
{
    if (::unlink(QFile::encodeName(entryPath()).constData()) == 0 || errno == ENOENT)
        return true;
    if (why)
        *why = cli::errorText(errno);
    return false;
}

} // namespace autostart
