// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"
#include "tests/support/files.h"
#include "tests/support/qt_printers.h"
#include "tests/support/settings_folder.h"

#include <QDir>

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <tuple>

using namespace settings;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

TEST(SettingsConversions, longShortAndLeadingNumber)
{
    // Text, toLong, toShort, leadingNumber.
    const std::tuple<QString, std::optional<std::int32_t>, std::optional<std::int16_t>, double> rows[] = {
        { u"1"_s, 1, 1, 1 }, { u"1.0"_s, 1, 1, 1 }, { u"1abc"_s, {}, {}, 1 }, { u" 1"_s, 1, 1, 1 },
        { u" \t+7 \t"_s, 7, 7, 7 }, { u""_s, {}, {}, 0 }, { u"abc"_s, {}, {}, 0 }, { u"1e1"_s, {}, {}, 10 },
        { u"94.5"_s, 94, 94, 94.5 }, { u"95.5"_s, 96, 96, 95.5 }, { u"-0.5"_s, 0, 0, -0.5 },
        { u"2.5000001"_s, 3, 3, 2.5000001 }, { u".5"_s, 0, 0, 0.5 }, { u"5."_s, 5, 5, 5 },
        { u"0.49999999999999999999"_s, 0, 0, 0.5 }, // decided on the digits, not through a double
        { u"32767.5"_s, 32768, {}, 32767.5 }, { u"-32768.5"_s, -32768, -32768, -32768.5 },
        { u"2147483647"_s, 2147483647, {}, 2147483647 }, { u"2147483647.5"_s, {}, {}, 2147483647.5 },
        { u"-2147483648.5"_s, INT32_MIN, {}, -2147483648.5 }, { u"0000000000000000000000000042"_s, 42, 42, 42 },
        { QString(5000, u'9'), {}, {}, inf }, { u"\n1 2\t3"_s, {}, {}, 123 }, { u"1.5D2"_s, {}, {}, 150 },
        { u"2e"_s, {}, {}, 2 }, { u"\u0663"_s, {}, {}, 0 }, // a digit, but not an ASCII one
        { u"-1e99999999999999999999"_s, {}, {}, -inf }, { u"1e-400"_s, {}, {}, 0 },
    };
    for (const auto &[text, asLong, asShort, leading] : rows) {
        SCOPED_TRACE(text.left(40).toStdString());
        EXPECT_EQ(toLong(text), asLong);
        EXPECT_EQ(toShort(text), asShort);
        EXPECT_EQ(leadingNumber(text), leading);
    }
}

const QString app = u"Copperline"_s;

QByteArray utf16(const char *latin1, bool bigEndian)
{
    QByteArray out;
    for (const char *c = latin1; *c; ++c)
        out += bigEndian ? QByteArray(1, '\0') + *c : *c + QByteArray(1, '\0');
    return out;
}

// The file lives in a folder that does not exist yet: the first write must create it.
struct SettingsStoreTest : ::testing::Test, SettingsFolder
{
    SettingsStoreTest() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder())); }

    QString folder() const { return dir.filePath(u"config"_s); }
    QString file() const { return folder() + u"/Copperline.ini"_s; }
    void write(const QByteArray &text) const { writeFile(file(), text); }
    QByteArray contents() const { return readFile(file()); }
    static QString get(const QString &key, const QString &section = u"Main"_s)
    {
        return GetSetting(app, section, key, u"<default>"_s);
    }
    static bool save(const QString &key, const QString &value, const QString &section = u"Main"_s)
    {
        return SaveSetting(app, section, key, value);
    }
};

TEST_F(SettingsStoreTest, handEditedValuesReadAsWritten)
{
    EXPECT_EQ(get(u"list"_s), u"<default>"_s); // no file yet
    constexpr char binary[] = "binary=a\x01"
                              "b\xFF\xFE"
                              "c\n";
    const QByteArray junk = QByteArray("no equals sign here [ ] \x01\x7f ;;\n").repeated(18000); // ~0.6 MB
    write("\xEF\xBB\xBFtop=outside any section\n" + junk
        + "[Main]\nlist = a, b\nvariant=@Variant(\\0\\0\\0\\x7f)\nquoted = \"  in \\\"q\\\" \\\\ \"\n"
          "two=\"a\" and \"b\"\nopen=\"abc\\\"\nempty=\nutf8=Gr\xC3\xB6\xC3\x9F" "e \xE2\x9C\x93\n"
        + QByteArray(binary, sizeof binary - 1)
        + "semi=1;2 ; not a comment\neq=a=b\n  spaced key\t=  v  \r\n#hidden=1\n[ Other ]\nk=other section\n"
          "[Junk]\n"
        + junk + "k=v\n[Main]\nlast=first\nlast=wins");
    const std::pair<const char *, QString> rows[] = {
        { "list", u"a, b"_s }, { "variant", u"@Variant(\\0\\0\\0\\x7f)"_s }, { "quoted", u"  in \"q\" \\ "_s },
        { "two", u"\"a\" and \"b\""_s }, { "open", u"\"abc\\\""_s }, // escaped closing quote: not quoted
        { "empty", u""_s }, { "utf8", u"Größe ✓"_s }, { "semi", u"1;2 ; not a comment"_s },
        { "binary", u"a\u0001b\uFFFD\uFFFDc"_s }, { "eq", u"a=b"_s },
        { "spaced key", u"v"_s }, { "last", u"wins"_s }, { "List", u"<default>"_s }, { "#hidden", u"<default>"_s },
        { "top", u"<default>"_s }, { "k", u"<default>"_s },
    };
    for (const auto &[key, expected] : rows)
        EXPECT_EQ(get(QString::fromLatin1(key)), expected) << key;
    EXPECT_EQ(get(u"k"_s, u"Other"_s), u"other section"_s);
    EXPECT_EQ(get(u"list"_s, u"main"_s), u"<default>"_s);
    EXPECT_EQ(get(u"list"_s, u"Absent"_s), u"<default>"_s);
}

TEST_F(SettingsStoreTest, saveChangesOneValueAndKeepsEveryOtherByte)
{
    const QByteArray before = "\xEF\xBB\xBFtop=1\n; comment\r\n[Main]\r\nlist=a, b\r\n  spaced  =  old  \r\n\n"
                              "[Other]\nx=1\n[Main]\nlist=second\n\n; about Tail\n[Tail]";
    // Section, key, value; the one change in the text, from and to.
    const std::tuple<const char *, const char *, const char *, QByteArray, QByteArray> rows[] = {
        { "Main", "list", "7", "list=second", "list=7" }, // the last definition, not "list=a, b"
        { "Main", "spaced", "9", "=  old  \r", "=  9  \r" },
        { "Main", "new", "5", "list=second\n", "list=second\nnew=5\n" },
        { "Tail", "k", "1", "[Tail]", "[Tail]\nk=1\n" },
        { "Fresh", "k", "1", "[Tail]", "[Tail]\n[Fresh]\nk=1\n" },
    };
    for (const auto &[section, key, value, from, to] : rows) {
        SCOPED_TRACE(key);
        write(before);
        ASSERT_TRUE(save(QString::fromLatin1(key), QString::fromLatin1(value), QString::fromLatin1(section)));
        EXPECT_EQ(contents(), QByteArray(before).replace(before.indexOf(from), from.size(), to));
    }
}

TEST_F(SettingsStoreTest, aNewLineTakesTheFileLineEnding)
{
    // The file before, and after k=5 is stored in [Main].
    const std::pair<QByteArray, QByteArray> rows[] = {
        { "[Main]\r\nold=1\r\n", "[Main]\r\nold=1\r\nk=5\r\n" },
        { "[Main]\r\nold=1", "[Main]\r\nold=1\r\nk=5\r\n" },
        { "[Main]\r\nold=1\r", "[Main]\r\nold=1\r\nk=5\r\n" },
        { "[Other]\r\nx=1", "[Other]\r\nx=1\r\n[Main]\r\nk=5\r\n" },
        { "; a comment\r\n", "; a comment\r\n[Main]\r\nk=5\r\n" },
    };
    for (const auto &[before, after] : rows) {
        SCOPED_TRACE(before.toStdString());
        write(before);
        ASSERT_TRUE(save(u"k"_s, u"5"_s));
        EXPECT_EQ(contents(), after);
    }
}

TEST_F(SettingsStoreTest, oddValuesRoundTripAndTheFirstSaveCreatesFolderAndFile)
{
    ASSERT_TRUE(save(u"k"_s, u"12"_s));
    EXPECT_EQ(contents(), "[Main]\nk=12\n");
    for (const QString &value : { u""_s, u" lead"_s, u"trail\t"_s, u"\"quoted\""_s, u"say \"hi\""_s, u"\\"_s,
             u"end\\"_s, u"\" \\\" \""_s, u"\""_s, u"a, b"_s, u"@Variant(\\0)"_s, u"Größe ✓"_s, u";x"_s }) {
        ASSERT_TRUE(save(u"k"_s, value)) << value.toStdString();
        EXPECT_EQ(get(u"k"_s), value);
    }
    // Only the file itself: the temporary file of each write is gone.
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList { u"Copperline.ini"_s });
}

TEST_F(SettingsStoreTest, whatCannotBeStoredIsRefusedAndNothingWritten)
{
    write("[Main]\nk=1\n");
    using namespace std::string_view_literals;
    const std::array<std::u16string_view, 3> rows[] = {
        { u"Main", u"k", u"a\nb" }, { u"Main", u"k", u"a\rb" }, { u"Main", u"k", u"a\0b"sv }, { u"Main", u"a=b", u"1" },
        { u"Main", u"[a", u"1" }, { u"Main", u"", u"1" }, { u"Main", u" k", u"1" }, { u"Main", u";k", u"1" },
        { u"Main", u"k\0"sv, u"1" }, { u"Ma]in", u"k", u"1" }, { u"Main ", u"k", u"1" },
    };
    const auto text = [](std::u16string_view view) { return QString::fromUtf16(view.data(), qsizetype(view.size())); };
    for (const auto &[section, key, value] : rows) {
        EXPECT_FALSE(save(text(key), text(value), text(section))) << text(key).toStdString();
        EXPECT_EQ(contents(), "[Main]\nk=1\n");
    }
}

TEST_F(SettingsStoreTest, unreadableFileGivesDefaultAndIsNeverReplaced)
{
    const std::function<void()> makeUnreadable[] = {
        [&] { write("[Main]\nk=1\n" + QByteArray(4 * 1024 * 1024, '#')); },
        [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(file()).constData(), 0600), 0); }, // a plain open would block
        [&] { ASSERT_TRUE(QDir().mkpath(file())); },
        // Not UTF-8 text: UTF-16 and UTF-32 with their byte order marks, and NUL bytes.
        [&] { write(QByteArray("\xFF\xFE") + utf16("[Main]\r\nk=1\r\n", false)); },
        [&] { write(QByteArray("\xFE\xFF") + utf16("[Main]\r\nk=1\r\n", true)); },
        [&] { write(QByteArray("\xFF\xFE\0\0[\0\0\0", 8)); },
        [&] { write(QByteArray("\0\0\xFE\xFF\0\0\0[", 8)); },
        [&] { write(utf16("[Main]\nk=1\n", false)); },
        [&] { write(QByteArray("[Main]\nk=1\0\n", 12)); },
    };
    for (const auto &make : makeUnreadable) {
        QDir().mkpath(folder());
        make();
        const QFileInfo before(file());
        EXPECT_EQ(get(u"k"_s), u"<default>"_s);
        EXPECT_FALSE(save(u"k"_s, u"2"_s));
        const QFileInfo after(file());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(after.lastModified(), before.lastModified());
        QDir(folder()).removeRecursively();
    }
    write("not a folder"); // the write's folder cannot be created
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(file() + u"/sub"_s));
    EXPECT_FALSE(save(u"k"_s, u"2"_s));
}

TEST_F(SettingsStoreTest, linkIsWrittenThroughAndPermissionsKept)
{
    const QString target = dir.filePath(u"dotfiles/Copperline.ini"_s);
    QDir().mkpath(dir.filePath(u"dotfiles"_s));
    QDir().mkpath(folder());
    ASSERT_TRUE(QFile::link(u"../dotfiles/Copperline.ini"_s, file())); // dangling for now
    ASSERT_TRUE(save(u"k"_s, u"1"_s));
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(target, mode));

    ASSERT_TRUE(save(u"k"_s, u"2"_s));
    EXPECT_TRUE(QFileInfo(file()).isSymLink());
    EXPECT_EQ(readFile(target), "[Main]\nk=2\n");
    // The "User" flags say what this process may do, not the file's mode.
    EXPECT_EQ(QFileInfo(target).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), mode);
}

} // namespace
