// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file on a file system that fills up: a tiny tmpfs mounted in a mount namespace
// of a child process's own, so nothing outside the child sees it. The save that does not fit
// must leave the old file byte for byte and no temporary beside it; once the file system has
// room, the same save goes through (so the refusal came from the full disk).
#include "settings/settings_store.h"
#include "tests/support/qt_printers.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// What the child saw: why it could not run the row (empty when it could: `skipped` when the
// system does not allow the namespace or the tmpfs, `broken` when the row itself went wrong),
// and for the save on the full file system and the one after the remount with room, its result
// and the folder.
struct Outcome
{
    QString skipped;
    QString broken;
    bool fullSaved = true;
    QByteArray fullFile;
    QStringList fullEntries;
    bool roomySaved = false;
    QByteArray roomyFile;
};

QDataStream &operator<<(QDataStream &out, const Outcome &o)
{
    return out << o.skipped << o.broken << o.fullSaved << o.fullFile << o.fullEntries << o.roomySaved
               << o.roomyFile;
}
QDataStream &operator>>(QDataStream &in, Outcome &o)
{
    return in >> o.skipped >> o.broken >> o.fullSaved >> o.fullFile >> o.fullEntries >> o.roomySaved
        >> o.roomyFile;
}

Outcome skippedBecause(const QString &why)
{
    Outcome o;
    o.skipped = why;
    return o;
}
Outcome brokenBecause(const QString &why)
{
    Outcome o;
    o.broken = why;
    return o;
}

// A settings file of exactly `size` bytes (at least 80): the three values, then a section of
// the user's padded to the size.
QByteArray iniOfSize(qsizetype size)
{
    const QByteArray head = "[Settings]\nAutoKelvanePeak=95\nAutoKelvaneMB=10\nKelvaneTray=0\n[Notes]\nnote=";
    return head + QByteArray(size - head.size() - 1, 'n') + '\n';
}

// Equal bytes, or where they part: a 6 kB file printed byte by byte says nothing.
::testing::AssertionResult sameBytes(const QByteArray &actual, const QByteArray &expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    const auto differs = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first;
    return ::testing::AssertionFailure() << actual.size() << " bytes instead of " << expected.size()
                                         << ", the first difference at byte " << (differs - actual.begin());
}

QByteArray entriesOf(const QString &folder, QStringList &into)
{
    into = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    QFile file(folder + u"/Copperline.ini"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// In the child: a private mount namespace with a tmpfs of `size` at `mountPoint`, holding
// `before` (null: no file) and `filler` bytes beside it, then the save of KelvaneTray=1.
Outcome runInNamespace(
    const QString &mountPoint, const char *size, const QByteArray &before, qsizetype filler)
{
    Outcome o;
    const QByteArray point = QFile::encodeName(mountPoint);
    if (::unshare(CLONE_NEWNS) != 0)
        return skippedBecause(u"unshare(CLONE_NEWNS): "_s + QString::fromLocal8Bit(std::strerror(errno)));
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", point.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
               (u"size="_s + QLatin1String(size)).toLatin1().constData())
            != 0)
        return skippedBecause(u"mounting a tmpfs: "_s + QString::fromLocal8Bit(std::strerror(errno)));
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        QFile file(mountPoint + u'/' + name);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    };
    if ((!before.isNull() && !put(u"Copperline.ini"_s, before))
        || (filler > 0 && !put(u"filler"_s, QByteArray(filler, 'f'))))
        return brokenBecause(u"the tmpfs does not take the files the row needs"_s);
    qputenv("XDG_CONFIG_HOME", point);
    const auto save = [] {
        return settings::SaveSetting(settings::Application, settings::Section, u"KelvaneTray"_s, u"1"_s);
    };
    o.fullSaved = save();
    o.fullFile = entriesOf(mountPoint, o.fullEntries);
    if (::mount(nullptr, point.constData(), nullptr, MS_REMOUNT | MS_NOSUID | MS_NODEV, "size=1M") != 0)
        return brokenBecause(
            u"remounting the tmpfs larger: "_s + QString::fromLocal8Bit(std::strerror(errno)));
    o.roomySaved = save();
    QStringList ignored;
    o.roomyFile = entriesOf(mountPoint, ignored);
    return o;
}

// Runs the row in a child process and hands back what it saw, through a pipe.
Outcome runInChild(const QString &mountPoint, const char *size, const QByteArray &before, qsizetype filler)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return brokenBecause(u"pipe failed"_s);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out << runInNamespace(mountPoint, size, before, filler);
        }
        const bool sent
            = ::write(fds[1], bytes.constData(), static_cast<std::size_t>(bytes.size())) == bytes.size();
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray bytes;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) != 0;) {
        if (n > 0)
            bytes.append(chunk, n);
        else if (errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome o;
    QDataStream in(bytes);
    in >> o;
    if (in.status() != QDataStream::Ok || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        o = brokenBecause(u"the child process ended without an answer"_s);
    return o;
}

TEST(SettingsOnAFullDisk, theOldFileStaysWholeAndTheSaveGoesThroughOnceThereIsRoom)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray small = iniOfSize(3051);
    const QByteArray large = iniOfSize(6667);
    const auto stored = [](QByteArray text) { return text.replace("KelvaneTray=0", "KelvaneTray=1"); };
    // Row, tmpfs size, the file before (null: none), bytes of filler beside it, the file once saved.
    const std::tuple<const char *, const char *, QByteArray, qsizetype, QByteArray> rows[] = {
        { "full before the write", "4k", small, 0, stored(small) },
        { "full in the middle of the write", "12k", large, 0, stored(large) },
        { "no file yet, disk full", "4k", QByteArray(), 4096, "[Settings]\nKelvaneTray=1\n" },
    };
    for (const auto &[name, size, before, filler, after] : rows) {
        SCOPED_TRACE(name);
        const Outcome o = runInChild(dir.path(), size, before, filler);
        if (!o.skipped.isEmpty())
            GTEST_SKIP() << "needs a private mount namespace and a tmpfs (root): " << o.skipped.toStdString();
        ASSERT_TRUE(o.broken.isEmpty()) << o.broken.toStdString();
        EXPECT_FALSE(o.fullSaved);
        EXPECT_TRUE(sameBytes(o.fullFile, before.isNull() ? QByteArray("<missing>") : before));
        EXPECT_EQ(o.fullEntries,
            before.isNull() ? QStringList { u"filler"_s } : QStringList { u"Copperline.ini"_s })
            << "no temporary file left";
        EXPECT_TRUE(o.roomySaved);
        EXPECT_TRUE(sameBytes(o.roomyFile, after));
    }
}

} // namespace
