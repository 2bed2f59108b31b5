// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the real program, with no display reachable.
#include "tests/support/files.h"
#include "tests/support/qt_printers.h"
#include "toolkit/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace {

const QString program = QStringLiteral(KELVANE_BINARY);
constexpr double MiB = 1048576.0;
using Meminfo = std::map<std::string, double>;

struct Result
{
    int status = -1;
    QString out, err;
};

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

// `inChild` runs in the child before the program starts.
Result run(const QStringList &arguments, const QProcessEnvironment &env = withoutDisplay(),
    const QString &binary = program, const std::function<void()> &inChild = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(binary, arguments);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return { p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
        QString::fromLocal8Bit(p.readAllStandardError()) };
}

// MemAvailable of /proc/meminfo in bytes.
double availableBytes()
{
    const QString meminfo = QString::fromLatin1(readFile(QStringLiteral("/proc/meminfo")));
    const QString kB = QRegularExpression(QStringLiteral(R"(MemAvailable:\s+(\d+) kB)")).match(meminfo).captured(1);
    return kB.toDouble() * 1024;
}

TEST(CommandLine, optionsBadValuesAndClassicStarts)
{
    // Arguments, exit status, patterns of standard output and error.
    const std::tuple<QStringList, int, const char *, const char *> rows[] = {
        { { "--version" }, 0, R"(^kelvane \d+\.\d+\.\d+\n$)", "^$" },
        { { "--help" }, 0, R"(--status \[--json\][\s\S]*--free N[\s\S]*--autostart \[on\|off\])", "^$" },
        { { "--json" }, 2, "^$", "--json goes with --status" },
        { { "--free", "abc" }, 2, "^$", "from 1 to 32767, not 'abc'" },
        { { "--free", "0" }, 2, "^$", "not '0'" },
        { { "--free", "32768" }, 2, "^$", "not '32768'" },
        { { "--free=5", "--free=5" }, 2, "^$", "--free takes one amount, not 2" },
        { { "--autostart", "yes" }, 2, "^$", "on or off, not 'yes'" },
        { { "--status", "--bogus" }, 2, "^$", "Unknown option 'bogus'" },
        { { "--status", "--free", "5" }, 2, "^$", "one at a time" },
        { { "--status", "--tray" }, 2, "^$", "--tray starts the program" },
        { { "/tray", "--status" }, 2, "^$", "unexpected argument '/tray'" },
        // No command option: a start, read the classic way, which the missing display ends.
        { {}, 1, "^$", "^kelvane: no display[^\n]*\n$" },
        { { "--bogus", "-q", "tray" }, 1, "^$", "^kelvane: no display" },
    };
    for (const auto &[arguments, status, out, err] : rows) {
        const Result r = run(arguments);
        SCOPED_TRACE(arguments.join(u' ').toStdString() + " said: " + r.err.toStdString());
        EXPECT_EQ(r.status, status);
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(out)).match(r.out).hasMatch()) << qPrintable(r.out);
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(err)).match(r.err).hasMatch());
    }
    EXPECT_FALSE(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Copperline.ini")));
}

// Standard output that takes nothing: a full device, a closed descriptor, a reader that went
// away with SIGPIPE ignored (quiet, as a reader that went away needs no message). Every
// command prints through the one output that is checked at the end; --free also writes as it
// runs.
TEST(CommandLine, outputThatCannotBeWrittenIsAFailureWithOneLine)
{
    const std::function<void()> full = [] { ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO); };
    const std::function<void()> closed = [] { ::close(STDOUT_FILENO); };
    const std::function<void()> goneReader = [] {
        int ends[2];
        if (::pipe(ends) == 0) {
            ::signal(SIGPIPE, SIG_IGN);
            ::dup2(ends[1], STDOUT_FILENO);
            ::close(ends[0]);
        }
    };
    const char *noSpace = "^kelvane: cannot write to standard output: no space left on device\n$";
    const char *isClosed = "^kelvane: cannot write to standard output: it is closed\n$";
    // Arguments, standard output, the message.
    const std::tuple<const char *, std::function<void()>, const char *> rows[] = {
        { "--status", full, noSpace }, { "--free 1", full, noSpace }, { "--status", closed, isClosed },
        { "--free 1", closed, isClosed }, { "--status", goneReader, "^$" },
    };
    for (const auto &[arguments, output, err] : rows) {
        const Result r = run(QString::fromLatin1(arguments).split(u' '), withoutDisplay(), program, output);
        SCOPED_TRACE(std::string(arguments) + " wants " + err + " and said: " + r.err.toStdString());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(err)).match(r.err).hasMatch());
    }
}

// The figures and their texts are proved on the memory record (tests/memory) and the window
// (formKelvane_status_test, usage_graph_test): here, that --status prints them, live.
TEST(CommandLine, statusAsTextAndAsJsonShowsTheLiveFigures)
{
    // A running instance holds the lock; the figures come all the same.
    const toolkit::InstanceLock running(QStringLiteral("kelvane.lock"));
    ASSERT_FALSE(running.anotherInstanceRuns());
    const double before = availableBytes();
    const Result text = run({ QStringLiteral("--status") });
    const Result json = run({ QStringLiteral("--status"), QStringLiteral("--json") });
    const double after = availableBytes();
    ASSERT_EQ(text.status, 0) << qPrintable(text.err);
    // The status line; the tray tip (the caption with the same figure, then the usage); the graph.
    const auto m
        = QRegularExpression(QStringLiteral(R"(^Free: ([\d.]+) MB - Usage: [\d.]+% of ([\d.]+) MB\n)"
                                            R"(\1MB Kelvane v\d+\.\d+\nUsage: [\d.]+%\n)"
                                            R"(Usage: \d+% RAM  - \d+% Virtual Memory  - \d+% Page File\n$)"))
              .match(text.out);
    ASSERT_TRUE(m.hasMatch()) << qPrintable(text.out);
    // Memory moves while the program runs: the figure lies within the readings around it.
    const double free = m.captured(1).toDouble() * MiB;
    EXPECT_GE(free, std::min(before, after) - 64 * MiB);
    EXPECT_LE(free, std::max(before, after) + 64 * MiB);

    ASSERT_EQ(json.status, 0) << qPrintable(json.err);
    EXPECT_EQ(json.out.count(u'\n'), 1) << "one object on one line";
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(o.keys(),
        (QStringList { "availPageFile", "availPhys", "availVirtual", "memoryLoad", "pageFileUsagePercent",
            "ramUsagePercent", "totalPageFile", "totalPhys", "totalVirtual", "virtualUsagePercent" }))
        << qPrintable(json.out);
    EXPECT_NEAR(o[u"totalPhys"].toDouble(), m.captured(2).toDouble() * MiB, 0.05 * MiB);
    EXPECT_NEAR(o[u"ramUsagePercent"].toDouble(),
        100 * (1 - o[u"availPhys"].toDouble() / o[u"totalPhys"].toDouble()), 0.051);
}

// --free as a script runs it. That its blocks are resident and all given back, after a stop
// too, is proved on the block source (mmap_block_source_test) and the engine (release_engine_test).
TEST(CommandLine, freeTakesTwoMiBPerMegabyteAndSigintStopsItWithinASecond)
{
    const Result whole = run({ QStringLiteral("--free"), QStringLiteral("50") });
    EXPECT_EQ(whole.status, 0) << qPrintable(whole.err);
    EXPECT_TRUE(whole.out.contains(QLatin1String("Done: took 100 MiB, all given back")))
        << qPrintable(whole.out);

    if (availableBytes() < 1024 * MiB)
        GTEST_SKIP() << "less than 1 GiB available";
    QProcess p;
    p.setProcessEnvironment(withoutDisplay());
    p.start(program, { QStringLiteral("--free"), QStringLiteral("2000") });
    QString out;
    while (!out.contains(QLatin1String(" MB  Free: ")) && p.waitForReadyRead(30000))
        out += QString::fromLocal8Bit(p.readAllStandardOutput());
    ASSERT_TRUE(out.contains(QLatin1String(" MB  Free: "))) << "no progress: " << qPrintable(out);
    const auto signalled = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(1));
    out += QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral(R"(Stopped at step \d+ of 2000: took \d+ MiB, all given back)"))
            .match(out)
            .hasMatch())
        << qPrintable(out);
}

TEST(CommandLine, autostartEntryOnQueryOff)
{
    QTemporaryDir home;
    // The program in a folder whose name the Exec key must quote and escape.
    const QString copy = home.filePath(QStringLiteral("bin dir $\"x\" 100%/kelvane"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(program, copy));
    const QString exec
        = QStringLiteral(R"(Exec="%1/bin dir \\$\\"x\\" 100%%/kelvane" --tray)").arg(home.path());
    QProcessEnvironment env = withoutDisplay();
    env.insert(QStringLiteral("HOME"), home.path());
    const auto autostart
        = [&](const QStringList &words) { return run(QStringList { "--autostart" } + words, env, copy); };

    // An absolute XDG_CONFIG_HOME, and a relative one, which counts as unset.
    for (const QString &config : { home.filePath(QStringLiteral("config")), QStringLiteral("relative") }) {
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        const QString entry = (config.startsWith(u'/') ? config : home.filePath(QStringLiteral(".config")))
            + QStringLiteral("/autostart/kelvane.desktop");
        SCOPED_TRACE(entry.toStdString());
        EXPECT_EQ(autostart({}).out, QStringLiteral("off\n"));
        EXPECT_EQ(autostart({ QStringLiteral("on") }).status, 0);
        QFile file(entry);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(file.readAll()).split(u'\n').contains(exec));
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), { entry });
        ASSERT_TRUE(validate.waitForFinished(10000))
            << "desktop-file-validate (desktop-file-utils) is missing";
        EXPECT_EQ(validate.readAll(), QByteArray()) << "desktop-file-validate says nothing on a good entry";
        EXPECT_EQ(autostart({}).out, QStringLiteral("on\n"));
        EXPECT_EQ(run({ QStringLiteral("--autostart=off") }, env, copy).status, 0);
        EXPECT_FALSE(QFile::exists(entry));
        EXPECT_EQ(autostart({ QStringLiteral("off") }).status, 0) << "an absent entry is off already";
        EXPECT_EQ(autostart({}).out, QStringLiteral("off\n"));
    }

}

// An entry that cannot be written or removed is reported with the reason. As root the
// program runs as nobody, so that a read-only folder is read-only for it too.
TEST(CommandLine, autostartSaysWhyItCannot)
{
    const passwd *nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    if (::geteuid() == 0 && !nobody)
        GTEST_SKIP() << "running as root and there is no user nobody";
    // Name; autostart is a file, the folder is read-only, an entry is there; the state asked for, the message.
    const std::tuple<const char *, bool, bool, bool, const char *, const char *> rows[] = {
        { "a file named autostart", true, false, false, "on", "cannot write %1: %2 is not a folder" },
        { "a read-only folder", false, true, false, "on", "cannot write %1: permission denied" },
        { "an entry in a read-only folder", false, true, true, "off", "cannot remove %1: permission denied" },
    };
    for (const auto &[name, autostartIsFile, readOnly, entryThere, state, message] : rows) {
        SCOPED_TRACE(name);
        // In /tmp, which nobody can pass through, unlike the test's own temporary folder.
        QTemporaryDir home(QStringLiteral("/tmp/kelvane-autostart-XXXXXX"));
        const QString config = home.filePath(QStringLiteral("config"));
        const QString folder = config + QStringLiteral("/autostart");
        const QString entry = folder + QStringLiteral("/kelvane.desktop");
        ASSERT_TRUE(QDir().mkpath(autostartIsFile ? config : folder));
        if (autostartIsFile) {
            ASSERT_TRUE(QFile(folder).open(QIODevice::WriteOnly));
        }
        if (entryThere) {
            ASSERT_TRUE(QFile(entry).open(QIODevice::WriteOnly));
        }
        for (const QString &path : { config, folder, entry }) {
            if (nobody && QFileInfo::exists(path)) {
                ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid), 0);
            }
        }
        ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
        if (readOnly) {
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        }

        QProcessEnvironment env = withoutDisplay();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        const auto asNobody = [nobody] {
            if (nobody && (::setgroups(0, nullptr) || ::setgid(nobody->pw_gid) || ::setuid(nobody->pw_uid)))
                ::_exit(127);
        };
        const Result r
            = run({ QStringLiteral("--autostart"), QString::fromLatin1(state) }, env, program, asNobody);
        EXPECT_EQ(r.status, 1);
        const QString expected = QString::fromLatin1(message).replace(QStringLiteral("%1"), entry);
        EXPECT_EQ(r.err, QStringLiteral("kelvane: ") + QString(expected).replace(QStringLiteral("%2"), folder) + u'\n');
        EXPECT_EQ(QFileInfo::exists(entry), entryThere);
        ::chmod(QFile::encodeName(folder).constData(), 0755); // so that the folder can go
    }
}

} // namespace
