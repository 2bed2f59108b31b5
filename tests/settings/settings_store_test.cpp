// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"
#include "tests/support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

using namespace settings;
using namespace Qt::Literals::StringLiterals;

namespace {

// A literal with its NULs kept.
template<std::size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

constexpr double inf = std::numeric_limits<double>::infinity();

TEST(SettingsConversions, longShortAndLeadingNumber)
{
    struct Row
    {
        QString text;
        std::optional<std::int32_t> asLong;
        std::optional<std::int16_t> asShort;
        double leading;
    };
    const Row rows[] = {
        { u"1"_s, 1, 1, 1 },
        { u"1.0"_s, 1, 1, 1 },
        { u"1abc"_s, {}, {}, 1 },
        { u" \t+7 \t"_s, 7, 7, 7 },
        { u""_s, {}, {}, 0 },
        { u"  "_s, {}, {}, 0 },
        { u"abc"_s, {}, {}, 0 },
        { u"-1"_s, -1, -1, -1 },
        { u"1e1"_s, {}, {}, 10 },
        { u"94.5"_s, 94, 94, 94.5 },
        { u"95.5"_s, 96, 96, 95.5 },
        { u"-0.5"_s, 0, 0, -0.5 },
        { u"2.5000001"_s, 3, 3, 2.5000001 },
        { u".5"_s, 0, 0, 0.5 },
        { u"5."_s, 5, 5, 5 },
        // A double would round these to .5 and then to even; the digits say below the half.
        { u"32766.49999999999999999999"_s, 32766, 32766, 32766.5 },
        { u"0.49999999999999999999"_s, 0, 0, 0.5 },
        { u"32767.5"_s, 32768, {}, 32767.5 },
        { u"-32768.5"_s, -32768, -32768, -32768.5 },
        { u"2147483647"_s, 2147483647, {}, 2147483647 },
        { u"2147483647.5"_s, {}, {}, 2147483647.5 },
        { u"-2147483648.5"_s, INT32_MIN, {}, -2147483648.5 },
        { u"2147483648"_s, {}, {}, 2147483648.0 },
        { u"0000000000000000000000000042"_s, 42, 42, 42 },
        { QString(5000, u'9'), {}, {}, inf },
        { u"0."_s + QString(5000, u'0') + u"1"_s, 0, 0, 0 },
        { u"+"_s, {}, {}, 0 },
        { u"- 1"_s, {}, {}, -1 },
        { u"\n1 2\t3"_s, {}, {}, 123 },
        { u"1.2.3"_s, {}, {}, 1.2 },
        { u"1.5D2"_s, {}, {}, 150 },
        { u"2 e - 1"_s, {}, {}, 0.2 },
        { u"2e"_s, {}, {}, 2 },
        { u"\u0663"_s, {}, {}, 0 }, // a digit, but not an ASCII one
        { u"1e400"_s, {}, {}, inf },
        { u"-1e99999999999999999999"_s, {}, {}, -inf },
        { u"1e-400"_s, {}, {}, 0 },
        { u"0.0001e-99999999999"_s, {}, {}, 0 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text.left(40).toStdString());
        EXPECT_EQ(toLong(row.text), row.asLong);
        EXPECT_EQ(toShort(row.text), row.asShort);
        EXPECT_EQ(leadingNumber(row.text), row.leading);
    }
}

constexpr auto app = "Copperline";

class SettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_saved = qgetenv("XDG_CONFIG_HOME");
        m_wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        // A folder that does not exist yet: the first write must create it.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder()));
    }
    void TearDown() override
    {
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (m_wasSet)
            qputenv("XDG_CONFIG_HOME", m_saved);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QString folder() const { return m_dir.filePath(u"config"_s); }
    QString file() const { return folder() + u"/Copperline.ini"_s; }
    void write(const QByteArray &text) const
    {
        QDir().mkpath(folder());
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray contents(const QString &path = {}) const
    {
        QFile f(path.isEmpty() ? file() : path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    static QString get(const QString &section, const QString &key)
    {
        return GetSetting(app, section, key, u"<default>"_s);
    }

    QTemporaryDir m_dir;
    QByteArray m_saved;
    bool m_wasSet = false;
};

TEST_F(SettingsStoreTest, pathFollowsXdgConfigHomeOnlyWhenAbsolute)
{
    EXPECT_EQ(settingsPath(app), file());
    const QString fallback = QDir::homePath() + u"/.config/Copperline.ini"_s;
    for (const char *value : { "", "relative/dir" }) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(settingsPath(app), fallback) << value;
    }
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settingsPath(app), fallback);
}

TEST_F(SettingsStoreTest, handEditedValuesReadAsWritten)
{
    const QByteArray junk = QByteArray("no equals sign here [ ] \x01\x7f ;;\n").repeated(18000); // ~0.6 MB
    write("\xEF\xBB\xBFtop=outside any section\n" + junk
        + "[Main]\n"
          "list = a, b\n"
          "variant=@Variant(\\0\\0\\0\\x7f)\n"
          "bytes=@ByteArray(x)\n"
          "quoted = \"  in \\\"q\\\" \\\\ \"\n"
          "two=\"a\" and \"b\"\n"
          "open=\"abc\\\"\n"
          "inner=say \"hi\"\n"
          "empty=\n"
          "blank =  \t\n"
          "utf8=Gr\xC3\xB6\xC3\x9F"
          "e \xE2\x9C\x93\n"
        + bytes("binary=a\0b\xFF\xFE"
                "c\n")
        + "semi=1;2 ; not a comment\n"
          "path=C:\\dir\\n\n"
          "eq=a=b\n"
          "  spaced key\t=  v  \r\n"
          "Case=upper\n"
          "#hidden=1\n"
          "[ Other ]\n"
          "list=other section\n"
          "[Junk]\n"
        + junk + "k=v\n[Main]\nlist=last wins");
    const std::pair<const char *, QString> rows[] = {
        { "list", u"last wins"_s },
        { "variant", u"@Variant(\\0\\0\\0\\x7f)"_s },
        { "bytes", u"@ByteArray(x)"_s },
        { "quoted", u"  in \"q\" \\ "_s },
        { "two", u"\"a\" and \"b\""_s },
        { "open", u"\"abc\\\""_s }, // the closing quote is escaped: not a quoted value
        { "inner", u"say \"hi\""_s },
        { "empty", u""_s },
        { "blank", u""_s },
        { "utf8", u"Größe ✓"_s },
        { "binary", QStringView(u"a\0b\uFFFD\uFFFDc", 6).toString() },
        { "semi", u"1;2 ; not a comment"_s },
        { "path", u"C:\\dir\\n"_s },
        { "eq", u"a=b"_s },
        { "spaced key", u"v"_s },
        { "Case", u"upper"_s },
        { "case", u"<default>"_s },
        { "#hidden", u"<default>"_s },
        { "top", u"<default>"_s },
        { "k", u"<default>"_s },
        { "missing", u"<default>"_s },
    };
    for (const auto &[key, expected] : rows)
        EXPECT_EQ(get(u"Main"_s, QString::fromLatin1(key)), expected) << key;
    EXPECT_EQ(get(u"Other"_s, u"list"_s), u"other section"_s);
    EXPECT_EQ(get(u"main"_s, u"list"_s), u"<default>"_s);
    EXPECT_EQ(get(u"Absent"_s, u"list"_s), u"<default>"_s);
}

TEST_F(SettingsStoreTest, firstSaveCreatesFolderAndFile)
{
    EXPECT_EQ(get(u"Main"_s, u"k"_s), u"<default>"_s);
    ASSERT_TRUE(SaveSetting(app, u"Main"_s, u"k"_s, u"12"_s));
    EXPECT_EQ(contents(), "[Main]\nk=12\n");
    // Only the file itself: QSaveFile's temporary is gone.
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList { u"Copperline.ini"_s });
}

TEST_F(SettingsStoreTest, saveChangesOneValueAndKeepsEveryOtherByte)
{
    const QByteArray before = "\xEF\xBB\xBFtop=1\n"
                              "; comment\r\n"
                              "[Main]\r\n"
                              "list=a, b\r\n"
                              "  spaced  =  old  \r\n"
                              "\n"
                              "# trailing\n"
                              "[Other]\n"
                              "x=1\n"
                              "[Main]\n"
                              "list=second\n"
                              "\n"
                              "; about Tail\n"
                              "[Tail]";
    struct Row
    {
        const char *section, *key, *value;
        QByteArray from, to; // the one change in the text
    };
    const Row rows[] = {
        { "Main", "list", "7", "list=second", "list=7" }, // the last definition, not "list=a, b"
        { "Main", "spaced", "9", "=  old  \r", "=  9  \r" },
        { "Main", "new", "5", "list=second\n", "list=second\nnew=5\n" },
        { "Main", "list", "", "list=second", "list=" },
        { "Other", "x", " padded ", "x=1", "x=\" padded \"" },
        { "Tail", "k", "1", "[Tail]", "[Tail]\nk=1\n" },
        { "Fresh", "k", "1", "[Tail]", "[Tail]\n[Fresh]\nk=1\n" },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.key);
        write(before);
        ASSERT_TRUE(SaveSetting(app, QString::fromLatin1(row.section), QString::fromLatin1(row.key),
            QString::fromLatin1(row.value)));
        EXPECT_EQ(contents(), QByteArray(before).replace(before.indexOf(row.from), row.from.size(), row.to));
    }
}

TEST_F(SettingsStoreTest, oddValuesRoundTrip)
{
    write(bytes("[Main]\nbin=\0\xFF\n"));
    for (const QString &value :
        { u""_s, u" lead"_s, u"trail\t"_s, u"\"quoted\""_s, u"say \"hi\""_s, u"\\"_s, u"end\\"_s,
            u"\" \\\" \""_s, u"\""_s, u"a, b"_s, u"@Variant(\\0)"_s, u"Größe ✓"_s, u";x"_s, u"[x]="_s }) {
        ASSERT_TRUE(SaveSetting(app, u"Main"_s, u"k"_s, value)) << value.toStdString();
        EXPECT_EQ(get(u"Main"_s, u"k"_s), value);
    }
    EXPECT_TRUE(contents().startsWith(bytes("[Main]\nbin=\0\xFF\n")));
}

TEST_F(SettingsStoreTest, whatCannotBeStoredIsRefusedAndNothingWritten)
{
    write("[Main]\nk=1\n");
    const std::array<const char16_t *, 3> rows[] = {
        { u"Main", u"k", u"a\nb" },
        { u"Main", u"k", u"a\rb" },
        { u"Main", u"a=b", u"1" },
        { u"Main", u"[a", u"1" },
        { u"Main", u"a]", u"1" },
        { u"Main", u"", u"1" },
        { u"Main", u" k", u"1" },
        { u"Main", u";k", u"1" },
        { u"Main", u"#k", u"1" },
        { u"Ma]in", u"k", u"1" },
        { u"Ma\nin", u"k", u"1" },
        { u"Main ", u"k", u"1" },
    };
    for (const auto &[section, key, value] : rows) {
        EXPECT_FALSE(
            SaveSetting(app, QString::fromUtf16(section), QString::fromUtf16(key), QString::fromUtf16(value)))
            << QString::fromUtf16(key).toStdString();
        EXPECT_EQ(contents(), "[Main]\nk=1\n");
    }
}

TEST_F(SettingsStoreTest, unreadableFileGivesDefaultAndIsNeverReplaced)
{
    // Each leaves something at the file's path that must be neither read nor replaced; a
    // FIFO would block a plain open.
    const QByteArray big = "[Main]\nk=1\n" + QByteArray(4 * 1024 * 1024, '#');
    const std::function<void()> makeUnreadable[] = {
        [&] { write(big); },
        [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(file()).constData(), 0600), 0); },
        [&] { ASSERT_TRUE(QDir().mkpath(file())); },
    };
    for (const auto &make : makeUnreadable) {
        QDir().mkpath(folder());
        make();
        const QFileInfo before(file());
        EXPECT_EQ(get(u"Main"_s, u"k"_s), u"<default>"_s);
        EXPECT_FALSE(SaveSetting(app, u"Main"_s, u"k"_s, u"2"_s));
        const QFileInfo after(file());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(after.lastModified(), before.lastModified());
        QDir(folder()).removeRecursively();
    }
    // The write's folder cannot be created: a file stands in the way.
    write("not a folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(file() + u"/sub"_s));
    EXPECT_FALSE(SaveSetting(app, u"Main"_s, u"k"_s, u"2"_s));
}

TEST_F(SettingsStoreTest, permissionsStopReadsAndWritesQuietly)
{
    write("[Main]\nk=1\n");
    QFile::setPermissions(file(), {});
    if (QFile probe(file()); probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "file permissions do not apply to this user (root)";
    EXPECT_EQ(get(u"Main"_s, u"k"_s), u"<default>"_s);
    EXPECT_FALSE(SaveSetting(app, u"Main"_s, u"k"_s, u"2"_s));

    // A writable file in a folder that is not: the temporary file cannot be created.
    QFile::setPermissions(file(), QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(SaveSetting(app, u"Main"_s, u"k"_s, u"2"_s));
    EXPECT_EQ(contents(), "[Main]\nk=1\n");
}

TEST_F(SettingsStoreTest, linkIsWrittenThroughAndPermissionsKept)
{
    const QString target = m_dir.filePath(u"dotfiles/Copperline.ini"_s);
    QDir().mkpath(m_dir.filePath(u"dotfiles"_s));
    QDir().mkpath(folder());
    ASSERT_TRUE(QFile::link(u"../dotfiles/Copperline.ini"_s, file())); // dangling for now
    ASSERT_TRUE(SaveSetting(app, u"Main"_s, u"k"_s, u"1"_s));
    // The "User" flags say what this process may do, not the file's mode: leave them out.
    const auto modeOf = [](const QString &path) {
        return QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    };
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(target, mode));

    ASSERT_TRUE(SaveSetting(app, u"Main"_s, u"k"_s, u"2"_s));
    EXPECT_TRUE(QFileInfo(file()).isSymLink());
    EXPECT_EQ(contents(target), "[Main]\nk=2\n");
    EXPECT_EQ(modeOf(target), mode);
}

} // namespace
