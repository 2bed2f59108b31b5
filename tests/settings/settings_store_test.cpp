// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_store.h"
#include "tests/support/files.h"
#include "tests/support/qt_printers.h"
#include "tests/support/settings_folder.h"

#include <QDir>

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

using namespace settings;
using namespace Qt::Literals::StringLiterals;

namespace {

// toLong, toShort and leadingNumber: fuzz_settings_numbers, against a reading of its own.
const QString app = u"Copperline"_s;

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
        { "; a comment\r\n[Other]\r\nx=1", "; a comment\r\n[Other]\r\nx=1\r\n[Main]\r\nk=5\r\n" },
    };
    for (const auto &[before, after] : rows) {
        SCOPED_TRACE(before.toStdString());
        write(before);
        ASSERT_TRUE(save(u"k"_s, u"5"_s));
        EXPECT_EQ(contents(), after);
    }
}

// What a value may hold, and which names and values are refused: fuzz_settings_store.
// That a save leaves no temporary beside the file: full_disk_test.
TEST_F(SettingsStoreTest, theFirstSaveCreatesFolderAndFile)
{
    ASSERT_TRUE(save(u"k"_s, u"12"_s));
    EXPECT_EQ(contents(), "[Main]\nk=12\n");
}

TEST_F(SettingsStoreTest, unreadableFileGivesDefaultAndIsNeverReplaced)
{
    const std::function<void()> makeUnreadable[] = {
        [&] { write("[Main]\nk=1\n" + QByteArray(4 * 1024 * 1024, '#')); },
        [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(file()).constData(), 0600), 0); }, // a plain open would block
        [&] { ASSERT_TRUE(QDir().mkpath(file())); }, // a file that is not text: fuzz_settings_store
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
