// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file on a file system that fills up: a tiny tmpfs mounted in a mount namespace
// of a child process's own, so nothing outside the child sees it. The save that does not fit
// must leave the old file byte for byte and no temporary beside it; once the file system has
// room, the same save goes through (so the refusal came from the full disk).
#include "settings/settings_store.h"
#include "tests/support/child_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// The folder's entries and the settings file in it, as one text to compare.
std::string folderNow(const QString &folder)
{
    QFile file(folder + u"/Copperline.ini"_s);
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(u' ').toStdString()
        + ": " + (file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>");
}

// In the child: a private mount namespace with a tmpfs of `size` at `point`, holding `before`
// (null: no file) and `filler` bytes beside it; then the save of KelvaneTray=1 on the full
// file system and once more after a remount with room. "" when all went as it should,
// "skip: ..." when the system allows no such namespace or tmpfs, else what went wrong.
std::string saveOnAFullDisk(const QString &point, const char *size, const QByteArray &before, qsizetype filler,
    const QByteArray &after)
{
    const QByteArray path = QFile::encodeName(point);
    const auto failed = [](const char *what) { return std::string(what) + ": " + std::strerror(errno); };
    if (::unshare(CLONE_NEWNS) != 0)
        return "skip: " + failed("unshare(CLONE_NEWNS)");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, ("size=" + std::string(size)).c_str()))
        return "skip: " + failed("mounting a tmpfs");
    const auto put = [&](const QString &name, const QByteArray &bytes) {
        QFile file(point + u'/' + name);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
    };
    if ((!before.isNull() && !put(u"Copperline.ini"_s, before)) || (filler > 0 && !put(u"filler"_s, QByteArray(filler, 'f'))))
        return "the tmpfs does not take the files the row needs";
    qputenv("XDG_CONFIG_HOME", path);
    const auto save = [] { return settings::SaveSetting(u"Copperline"_s, u"Settings"_s, u"KelvaneTray"_s, u"1"_s); };
    const std::string untouched = folderNow(point);
    if (save())
        return "saved on the full file system";
    if (folderNow(point) != untouched)
        return "the refused save changed the folder (a temporary left, or the old file cut)";
    if (::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_NOSUID | MS_NODEV, "size=1M") != 0)
        return failed("remounting the tmpfs larger");
    if (!save())
        return "refused with room on the file system";
    const std::string expected = (before.isNull() ? "Copperline.ini filler: " : "Copperline.ini: ") + after.toStdString();
    return folderNow(point) == expected ? "" : "after the save with room: " + folderNow(point).substr(0, 200);
}

TEST(SettingsOnAFullDisk, theOldFileStaysWholeAndTheSaveGoesThroughOnceThereIsRoom)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 6,667 bytes take two of the three pages of a 12k tmpfs, so the new file runs out halfway:
    // the three values, then a section of the user's padded to the size.
    const QByteArray head = "[Settings]\nAutoKelvanePeak=95\nAutoKelvaneMB=10\nKelvaneTray=0\n[Notes]\nnote=";
    const QByteArray large = head + QByteArray(6667 - head.size() - 1, 'n') + '\n';
    // Row, tmpfs size, the file before (null: none), bytes of filler beside it, the file once saved.
    const std::tuple<const char *, const char *, QByteArray, qsizetype, QByteArray> rows[] = {
        { "full in the middle of the write", "12k", large, 0, QByteArray(large).replace("KelvaneTray=0", "KelvaneTray=1") },
        { "no file yet, disk full", "4k", QByteArray(), 4096, "[Settings]\nKelvaneTray=1\n" },
    };
    for (const auto &[name, size, before, filler, after] : rows) {
        const std::string outcome = inChild([&] { return saveOnAFullDisk(dir.path(), size, before, filler, after); });
        if (outcome.starts_with("skip: "))
            GTEST_SKIP() << "needs a private mount namespace and a tmpfs (root): " << outcome;
        EXPECT_EQ(outcome, "") << name;
    }
}

} // namespace
