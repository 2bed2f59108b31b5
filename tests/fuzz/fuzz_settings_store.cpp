// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file with arbitrary bytes in it. Input: section, key, value, and a second
// section and key, each ended by a 0xFF byte (which no UTF-8 text holds), then the file's
// bytes. Reading must cope with anything. Saving must succeed exactly for the names and values
// the store can hold, read back as given, leave a second key as it read, and change no byte
// outside the one line of the key (new lines come in whole); a refused save changes nothing.
#include "fuzz_support.h"

#include "settings/settings_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <string_view>

using fuzz::utf8;

namespace {

const QString application = QStringLiteral("Copperline");
const QString absent = QStringLiteral("\x01<absent>");

// A settings folder of our own for the whole run.
const QString &settingsFile()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        if (!folder.isValid())
            std::abort();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
        return settings::settingsPath(application);
    }();
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

bool blankAtAnEnd(const QString &name)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    return !name.isEmpty() && (blank(name.front()) || blank(name.back()));
}

bool hasAny(const QString &text, QStringView chars)
{
    for (const QChar c : chars) {
        if (text.contains(c))
            return true;
    }
    return false;
}

// What the store promises to hold.
bool storable(const QString &section, const QString &key, const QString &value)
{
    const bool sectionOk = !hasAny(section, u"=[]\r\n") && !blankAtAnEnd(section);
    const bool keyOk = !hasAny(key, u"=[]\r\n") && !blankAtAnEnd(key) && !key.isEmpty() && !key.startsWith(u';')
        && !key.startsWith(u'#');
    return sectionOk && keyOk && !hasAny(value, u"\r\n");
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

    const QString &path = settingsFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(before) != before.size())
            std::abort();
    }

    // Every read allocates the largest file the store takes (4 MiB), which under ASan costs
    // milliseconds: one other key is read, not a list.
    const QString otherBefore = settings::GetSetting(application, otherSection, otherKey, absent);
    (void)settings::GetSetting(application, section, key, absent);

    const bool saved = settings::SaveSetting(application, section, key, value);
    const QByteArray after = readAll(path);
    FUZZ_CHECK(saved == storable(section, key, value), "save of [%s] '%s' = '%s' returned %d", utf8(section).c_str(),
               utf8(key).c_str(), utf8(value).c_str(), saved);
    if (!saved) {
        FUZZ_CHECK(after == before, "a refused save changed the file");
        return 0;
    }

    const QString readBack = settings::GetSetting(application, section, key, absent);
    FUZZ_CHECK(readBack == value, "[%s] '%s' = '%s' reads back as '%s'", utf8(section).c_str(), utf8(key).c_str(),
               utf8(value).c_str(), utf8(readBack).c_str());
    if (otherSection != section || otherKey != key) {
        const QString otherAfter = settings::GetSetting(application, otherSection, otherKey, absent);
        FUZZ_CHECK(otherAfter == otherBefore, "[%s] '%s' was '%s', is '%s'", utf8(otherSection).c_str(),
                   utf8(otherKey).c_str(), utf8(otherBefore).c_str(), utf8(otherAfter).c_str());
    }

    // The bytes that changed, between the longest common head and tail, lie within one line.
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const QByteArray replaced = before.sliced(head, before.size() - head - tail);
    FUZZ_CHECK(!replaced.contains('\n'), "the save changed more than one line: '%s' went", replaced.constData());
    return 0;
}
