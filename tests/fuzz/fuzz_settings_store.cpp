// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file with arbitrary bytes in it. Input: section, key, value, and a second
// section and key, each ended by a 0xFF byte (which no UTF-8 text holds), then the file's
// bytes. Reading must cope with anything; a file that is not text (a NUL byte, a UTF-16 byte
// order mark) reads as empty. Saving must succeed exactly for the names and values the store
// can hold, in a file that is text; it must read back as given, leave a second key as it read,
// and change no byte outside the one line of the key (new lines come in whole); a refused save
// changes nothing.
#include "fuzz_support.h"

#include "settings/settings_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <string_view>

using fuzz::utf8;

namespace {

const QString application = QStringLiteral("Copperline");
const QString absent = QStringLiteral("\x01<absent>");

// What the store promises to hold: names without '=', '[', ']' or line breaks and without
// blanks at either end, a key that is not empty and does not start a comment, a value on one line.
bool storable(const QString &section, const QString &key, const QString &value)
{
    const auto nameOk = [](const QString &name) {
        return !fuzz::regex("(?s)[ \t].*|.*[ \t]|.*[=\\[\\]\r\n\\x{0}].*").match(name).hasMatch();
    };
    return nameOk(section) && nameOk(key) && !key.isEmpty() && !key.startsWith(u';') && !key.startsWith(u'#')
        && !value.contains(u'\r') && !value.contains(u'\n') && !value.contains(u'\0');
}

// A file the store reads: no NUL byte and no UTF-16 (or UTF-32) byte order mark.
bool isText(const QByteArray &file)
{
    return !file.contains('\0') && !file.startsWith("\xFF\xFE") && !file.startsWith("\xFE\xFF");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char *>(data), size);
    std::array<QString, 5> fields; // section, key, value, other section, other key
    for (QString &field : fields) {
        const std::size_t end = std::min(rest.find('\xFF'), rest.size());
        field = QString::fromUtf8(rest.data(), static_cast<qsizetype>(end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    const auto &[section, key, value, otherSection, otherKey] = fields;
    const QByteArray before(rest.data(), static_cast<qsizetype>(rest.size()));

    // A settings folder of our own for the whole run.
    static QTemporaryDir folder;
    static const QString path = [] {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
        return settings::settingsPath(application);
    }();
    QFile file(path);
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(before) != before.size())
        std::abort();
    file.close();

    // Every read allocates the largest file the store takes (4 MiB), which under ASan costs
    // milliseconds: one other key is read, not a list.
    const QString otherBefore = settings::GetSetting(application, otherSection, otherKey, absent);
    (void)settings::GetSetting(application, section, key, absent);

    const bool saved = settings::SaveSetting(application, section, key, value);
    if (!file.open(QIODevice::ReadOnly)) // the file the save put in place
        std::abort();
    const QByteArray after = file.readAll();
    FUZZ_CHECK(saved == (storable(section, key, value) && isText(before)) && (saved || after == before),
               "save of [%s] '%s' = '%s' returned %d", utf8(section).c_str(), utf8(key).c_str(), utf8(value).c_str(),
               saved);
    FUZZ_CHECK(isText(before) || otherBefore == absent, "[%s] '%s' read from a file that is not text",
               utf8(otherSection).c_str(), utf8(otherKey).c_str());
    if (!saved)
        return 0;
    FUZZ_CHECK(settings::GetSetting(application, section, key, absent) == value, "[%s] '%s' = '%s' reads back",
               utf8(section).c_str(), utf8(key).c_str(), utf8(value).c_str());
    FUZZ_CHECK((otherSection == section && otherKey == key)
                   || settings::GetSetting(application, otherSection, otherKey, absent) == otherBefore,
               "[%s] '%s' was '%s'", utf8(otherSection).c_str(), utf8(otherKey).c_str(), utf8(otherBefore).c_str());

    // The bytes that changed, between the longest common head and tail, lie within one line.
    const auto head = std::mismatch(before.begin(), before.end(), after.begin(), after.end()).first - before.begin();
    const auto tail = std::mismatch(before.rbegin(), before.rend() - head, after.rbegin(), after.rend() - head).first
        - before.rbegin();
    const QByteArray replaced = before.sliced(head, before.size() - head - tail);
    FUZZ_CHECK(!replaced.contains('\n'), "the save changed more than one line: '%s' went", replaced.constData());
    return 0;
}
