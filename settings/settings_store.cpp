// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"

#include "settings/disk_sync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace settings {
namespace {

// Far more than the program ever writes; a bigger file is not a settings file we should load
// into memory or rewrite, so it counts as unreadable.
constexpr qint64 maxFileSize = 4 * 1024 * 1024;

constexpr std::string_view utf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string_view view(const QByteArray &bytes)
{
    return { bytes.constData(), static_cast<std::size_t>(bytes.size()) };
}

enum class FileState { Missing, Read, Unreadable };

struct FileText
{
    FileState state = FileState::Missing;
    QByteArray bytes;
};

FileText readFile(const QString &path)
{
    const QFileInfo info(path); // follows links: a dangling link is a missing file
    if (!info.exists())
        return {};
    // isFile() also keeps FIFOs and devices out, whose open or read could block.
    if (!info.isFile() || info.size() > maxFileSize)
        return { FileState::Unreadable, {} };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return { FileState::Unreadable, {} };
    // As much as the file holds: asking for the whole cap would allocate it at every read.
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.size() > maxFileSize) // grown since the stat
        return { FileState::Unreadable, {} };
    // Not UTF-8 text: UTF-16 or UTF-32 (a byte order mark, or the NUL bytes of their ASCII), or
    // binary. Lines added to it would make a file of two encodings.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.contains('\0'))
        return { FileState::Unreadable, {} };
    return { FileState::Read, bytes };
}

// The ending of the file's first line, which new lines take too: "\r\n" or "\n" (also for a
// file of one line or none).
QByteArray lineEndingOf(const QByteArray &text)
{
    const qsizetype eol = text.indexOf('\n');
    return eol > 0 && text[eol - 1] == '\r' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

// `text` with its last line ended, so that a new line can follow.
QByteArray ended(QByteArray text, const QByteArray &eol)
{
    if (text.isEmpty() || text.endsWith('\n'))
        return text;
    if (text.endsWith('\r') && eol == "\r\n")
        return text + '\n';
    return text + eol;
}

// Where a key lives in the file text, as byte offsets; -1 when absent.
struct Location
{
    // The value of the key's last definition in the section, blanks around it excluded.
    qsizetype valueBegin = -1;
    qsizetype valueEnd = -1;
    // End (the '\n' or the end of the text) of the last header or key line of the section's
    // last occurrence: where a new key goes.
    qsizetype sectionEnd = -1;
};

// Lines before the first header belong to no section. A '[' line without ']' and a line
// without '=' are kept but mean nothing.
Location locate(std::string_view text, std::string_view section, std::string_view key)
{
    Location at;
    bool inSection = false;
    std::size_t pos = text.starts_with(utf8Bom) ? utf8Bom.size() : 0;
    for (;;) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        const std::string_view line = text.substr(pos, eol - pos);
        const std::string_view content = trimmed(line);
        if (content.empty() || content.front() == ';' || content.front() == '#') {
            // blank line or comment
        } else if (content.front() == '[') {
            const std::size_t close = content.find(']');
            if (close != std::string_view::npos) {
                inSection = trimmed(content.substr(1, close - 1)) == section;
                if (inSection)
                    at.sectionEnd = static_cast<qsizetype>(eol);
            }
        } else if (const std::size_t eq = line.find('='); inSection && eq != std::string_view::npos) {
            at.sectionEnd = static_cast<qsizetype>(eol);
            if (trimmed(line.substr(0, eq)) == key) {
                const std::string_view rest = line.substr(eq + 1);
                const std::string_view value = trimmed(rest);
                const std::size_t lead
                    = value.empty() ? 0 : static_cast<std::size_t>(value.data() - rest.data());
                at.valueBegin = static_cast<qsizetype>(pos + eq + 1 + lead);
                at.valueEnd = at.valueBegin + static_cast<qsizetype>(value.size());
            }
        }
        if (eol == text.size())
            return at;
        pos = eol + 1;
    }
}

// The stored text as the reader sees it: a value wholly inside one pair of double quotes
// loses them and has \" and \\ unescaped; anything else is the text as it stands.
QString decodeValue(std::string_view stored)
{
    const QString verbatim = QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
    if (stored.size() < 2 || stored.front() != '"' || stored.back() != '"')
        return verbatim;
    std::string inner;
    for (std::size_t i = 1; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c == '\\' && i + 1 < stored.size() && (stored[i + 1] == '"' || stored[i + 1] == '\\')) {
            inner += stored[++i];
        } else if (c == '"') {
            // The closing quote must be the last character, or the quotes are only part of the text.
            if (i + 1 != stored.size())
                return verbatim;
            return QString::fromUtf8(inner.data(), static_cast<qsizetype>(inner.size()));
        } else {
            inner += c;
        }
    }
    return verbatim; // the last quote was escaped: never closed
}

// The inverse of decodeValue: plain text unless the reader would strip or unquote something.
QByteArray encodeValue(const QString &value)
{
    const QByteArray bytes = value.toUtf8();
    const bool quote
        = !bytes.isEmpty() && (isBlank(bytes.front()) || isBlank(bytes.back()) || bytes.contains('"'));
    if (!quote)
        return bytes;
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (const char c : bytes) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// A section or key name that reads back as itself.
bool storableName(const QString &name, bool isKey)
{
    for (const QChar c : name) {
        if (c == u'=' || c == u'[' || c == u']' || c == u'\n' || c == u'\r' || c == u'\0')
            return false;
    }
    if (!name.isEmpty()
        && (name.front() == u' ' || name.front() == u'\t' || name.back() == u' ' || name.back() == u'\t'))
        return false;
    if (isKey && (name.isEmpty() || name.front() == u';' || name.front() == u'#'))
        return false;
    return true;
}

QByteArray withValue(
    const QByteArray &text, const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    const Location at = locate(view(text), view(section), view(key));
    if (at.valueBegin >= 0) {
        QByteArray out = text;
        return out.replace(at.valueBegin, at.valueEnd - at.valueBegin, value);
    }
    const QByteArray eol = lineEndingOf(text);
    const QByteArray entry = key + '=' + value + eol;
    if (at.sectionEnd >= 0) {
        if (at.sectionEnd == text.size()) // the section's line is the unterminated last one
            return ended(text, eol) + entry;
        QByteArray out = text;
        return out.insert(at.sectionEnd + 1, entry);
    }
    return ended(text, eol) + '[' + section + ']' + eol + entry;
}

} // namespace

QString configHome()
{
    // The base-directory rules ignore a relative XDG_CONFIG_HOME.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return config.startsWith(u'/') ? config : QDir::homePath() + QStringLiteral("/.config");
}

QString settingsPath(const QString &application)
{
    return configHome() + u'/' + application + QStringLiteral(".ini");
}

bool writeFileAtomically(const QString &path, const QByteArray &text)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // QSaveFile writes a temporary file beside the target and renames it over the target on
    // commit, so readers see the old file or the new one, never a mix. It resolves a link to
    // the file it points to and gives the new file the old one's permissions.
    //
    // commit() renames even when its own flush or sync failed (a full disk), so neither is left
    // to it: the file is unbuffered, so every byte reaches the file system in write(), which
    // says how many it took, and the sync is checked here. On any failure the temporary file
    // goes and the old file stays as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(text) != text.size() || file.error() != QFileDevice::NoError || !syncToDisk(file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString GetSetting(
    const QString &application, const QString &section, const QString &key, const QString &defaultValue)
{
    const FileText file = readFile(settingsPath(application));
    if (file.state != FileState::Read)
        return defaultValue;
    const std::string_view text = view(file.bytes);
    const Location at = locate(text, view(section.toUtf8()), view(key.toUtf8()));
    if (at.valueBegin < 0)
        return defaultValue;
    return decodeValue(text.substr(
        static_cast<std::size_t>(at.valueBegin), static_cast<std::size_t>(at.valueEnd - at.valueBegin)));
}

bool SaveSetting(const QString &application, const QString &section, const QString &key, const QString &value)
{
    if (!storableName(section, false) || !storableName(key, true) || value.contains(u'\n')
        || value.contains(u'\r') || value.contains(u'\0')) // a NUL would make the file unreadable
        return false;
    const QString path = settingsPath(application);
    const FileText file = readFile(path);
    // Replacing a file we could not read would throw away whatever the user has in it.
    if (file.state == FileState::Unreadable)
        return false;
    return writeFileAtomically(path, withValue(file.bytes, section.toUtf8(), key.toUtf8(), encodeValue(value)));
}

} // namespace settings
