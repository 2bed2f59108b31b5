// SPDX-License-Identifier: GPL-3.0-or-later
// The main of every test executable: a QApplication on the offscreen platform (unless the
// environment names another one), then GoogleTest. Settings, runtime and temp files go to a
// folder of the run's own, never to the user's.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir home;
    if (!home.isValid())
        return 2;
    for (const char *name : {"config", "runtime", "tmp"})
        QDir(home.path()).mkdir(QString::fromLatin1(name));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath(QStringLiteral("runtime"))));
    qputenv("TMPDIR", QFile::encodeName(home.filePath(QStringLiteral("tmp"))));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
