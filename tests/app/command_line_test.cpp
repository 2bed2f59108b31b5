// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the real program, with no display reachable.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <string>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString program = QStringLiteral(KELVANE_BINARY);
constexpr double MiB = 1048576.0;

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return env;
}

Result run(const QStringList &arguments, const QProcessEnvironment &env = withoutDisplay(), const QString &binary = program)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(binary, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// /proc/meminfo in bytes, by key.
std::map<std::string, double> meminfo()
{
    std::map<std::string, double> figures;
    std::ifstream file("/proc/meminfo");
    std::string key;
    double kB = 0;
    while (file >> key >> kB) {
        figures[key.substr(0, key.size() - 1)] = kB * 1024;
        file.ignore(64, '\n');
    }
    return figures;
}

// Memory moves while the program runs: a figure counts as right when it lies within the
// readings before and after, widened by `slack` bytes.
void expectBetween(double value, const std::map<std::string, double> &before, const std::map<std::string, double> &after,
                   double (*figure)(const std::map<std::string, double> &), double slack, const char *what)
{
    EXPECT_GE(value, std::min(figure(before), figure(after)) - slack) << what;
    EXPECT_LE(value, std::max(figure(before), figure(after)) + slack) << what;
}

double available(const std::map<std::string, double> &m) { return m.at("MemAvailable"); }
double commitLimit(const std::map<std::string, double> &m) { return m.at("MemTotal") + m.at("SwapTotal"); }
double commitFree(const std::map<std::string, double> &m) { return std::max(0.0, commitLimit(m) - m.at("Committed_AS")); }

TEST(CommandLine, optionsBadValuesAndClassicStarts)
{
    struct Row
    {
        QStringList arguments;
        int status;
        const char *out; // patterns
        const char *err;
    };
    const Row rows[] = {
        {{"--version"}, 0, R"(^kelvane \d+\.\d+\.\d+\n$)", "^$"},
        {{"--help"}, 0, R"(--status \[--json\][\s\S]*--free N[\s\S]*--autostart \[on\|off\])", "^$"},
        {{"--json"}, 2, "^$", "--json goes with --status"},
        {{"--free"}, 2, "^$", "Missing value after '--free'"},
        {{"--free", "abc"}, 2, "^$", "from 1 to 32767, not 'abc'"},
        {{"--free", "0"}, 2, "^$", "not '0'"},
        {{"--free=-3"}, 2, "^$", "not '-3'"},
        {{"--free", "1.5"}, 2, "^$", "not '1.5'"},
        {{"--free", "32768"}, 2, "^$", "not '32768'"},
        {{"--autostart", "yes"}, 2, "^$", "on or off, not 'yes'"},
        {{"--autostart", "on", "off"}, 2, "^$", "unexpected argument 'on'"},
        {{"--status", "--bogus"}, 2, "^$", "Unknown option 'bogus'"},
        {{"--status", "-q"}, 2, "^$", "Unknown option 'q'"},
        {{"--status", "--free", "5"}, 2, "^$", "one at a time"},
        {{"--status", "--tray"}, 2, "^$", "--tray starts the program"},
        {{"/tray", "--status"}, 2, "^$", "unexpected argument '/tray'"},
        // No command option: a start, read the classic way, which the missing display ends.
        {{}, 1, "^$", "^kelvane: no display[^\n]*\n$"},
        {{"/tray"}, 1, "^$", "^kelvane: no display"},
        {{"-q", "/TRAY"}, 1, "^$", "^kelvane: no display"},
        {{"--tray"}, 1, "^$", "^kelvane: no display"},
        {{"--bogus", "-q", "tray"}, 1, "^$", "^kelvane: no display"},
    };
    for (const Row &row : rows) {
        const Result r = run(row.arguments);
        const QString line = row.arguments.join(u' ');
        EXPECT_EQ(r.status, row.status) << qPrintable(line) << ": " << qPrintable(r.err);
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(row.out)).match(r.out).hasMatch())
            << qPrintable(line) << " printed: " << qPrintable(r.out);
        EXPECT_TRUE(QRegularExpression(QString::fromUtf8(row.err)).match(r.err).hasMatch())
            << qPrintable(line) << " said: " << qPrintable(r.err);
    }
}

TEST(CommandLine, statusShowsTheFiguresOfProcMeminfo)
{
    const auto before = meminfo();
    const Result r = run({QStringLiteral("--status")});
    const auto after = meminfo();
    ASSERT_EQ(r.status, 0) << qPrintable(r.err);

    const QRegularExpression shape(QStringLiteral(R"(^Free: ([\d.]+) MB - Usage: ([\d.]+)% of ([\d.]+) MB\n)"
                                                  R"(([\d.]+)MB Kelvane v\d+\.\d+\n)"
                                                  R"(Usage: \2%\n)"
                                                  R"(Usage: (\d+)% RAM  - (\d+)% Virtual Memory  - (\d+)% Page File\n$)"));
    const auto m = shape.match(r.out);
    ASSERT_TRUE(m.hasMatch()) << qPrintable(r.out);
    const double freeMB = m.captured(1).toDouble();
    EXPECT_EQ(m.captured(4).toDouble(), freeMB) << "the caption and the status line show one record";
    EXPECT_NEAR(m.captured(3).toDouble(), before.at("MemTotal") / MiB, 0.05);
    expectBetween(freeMB * MiB, before, after, available, 64 * MiB, "free");
    const double total = before.at("MemTotal");
    const double usage = m.captured(2).toDouble();
    EXPECT_NEAR(usage, 100 * (1 - freeMB * MiB / total), 0.06);
    EXPECT_NEAR(m.captured(5).toDouble(), usage, 0.51) << "the graph's RAM usage in whole percent";
    const double pageUsage = m.captured(7).toDouble();
    expectBetween((1 - pageUsage / 100) * commitLimit(before), before, after, commitFree, commitLimit(before) / 100 + 256 * MiB,
                  "page file");
}

TEST(CommandLine, statusJsonHoldsTheCountsInBytes)
{
    const auto before = meminfo();
    const Result r = run({QStringLiteral("--status"), QStringLiteral("--json")});
    const auto after = meminfo();
    ASSERT_EQ(r.status, 0) << qPrintable(r.err);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << qPrintable(r.out);
    ASSERT_EQ(r.out.count(u'\n'), 1) << "one object on one line";

    EXPECT_EQ(o[u"totalPhys"].toInteger(), static_cast<qint64>(before.at("MemTotal")));
    EXPECT_EQ(o[u"totalPageFile"].toInteger(), static_cast<qint64>(commitLimit(before)));
    expectBetween(o[u"availPhys"].toDouble(), before, after, available, 64 * MiB, "availPhys");
    expectBetween(o[u"availPageFile"].toDouble(), before, after, commitFree, 256 * MiB, "availPageFile");
    const struct
    {
        const char16_t *percent, *avail, *total;
    } usages[] = {{u"ramUsagePercent", u"availPhys", u"totalPhys"},
                  {u"virtualUsagePercent", u"availVirtual", u"totalVirtual"},
                  {u"pageFileUsagePercent", u"availPageFile", u"totalPageFile"}};
    for (const auto &u : usages) {
        ASSERT_GT(o[u.total].toDouble(), 0) << QString::fromUtf16(u.total).toStdString();
        EXPECT_NEAR(o[u.percent].toDouble(), 100 * (1 - o[u.avail].toDouble() / o[u.total].toDouble()), 0.051)
            << QString::fromUtf16(u.percent).toStdString();
    }
}

// The program run under ptrace, stopped at every system call for a reading of its resident
// set, so the readings catch each block taken and given back at whatever pace the machine
// runs it. onSample may send it a signal; it is passed on.
struct TracedRun
{
    int status = -1;
    std::vector<double> rss; // bytes, one per system-call stop
    QString out;
    std::chrono::steady_clock::duration sinceSignal{};
};

double residentBytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) * 1024;
    return -1;
}

TracedRun traced(const std::vector<std::string> &arguments, double signalAtRiseOf = 0)
{
    TracedRun run;
    QTemporaryDir dir;
    const std::string outPath = dir.filePath(QStringLiteral("out")).toStdString();
    std::vector<std::string> words{program.toStdString()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        ::raise(SIGSTOP);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    std::optional<std::chrono::steady_clock::time_point> signalled;
    long deliver = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, reinterpret_cast<void *>(deliver));
        deliver = 0;
        if (::waitpid(pid, &st, 0) < 0 || WIFEXITED(st) || WIFSIGNALED(st))
            break;
        if (WSTOPSIG(st) == (SIGTRAP | 0x80)) {
            run.rss.push_back(residentBytes(pid));
            if (signalAtRiseOf > 0 && !signalled && run.rss.back() - run.rss.front() >= signalAtRiseOf) {
                signalled = std::chrono::steady_clock::now();
                ::kill(pid, SIGINT);
            }
        } else if (WSTOPSIG(st) != SIGTRAP) { // the trap after exec stays ours
            deliver = WSTOPSIG(st);
        }
    }
    if (signalled)
        run.sinceSignal = std::chrono::steady_clock::now() - *signalled;
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    QFile out(QString::fromStdString(outPath));
    if (out.open(QIODevice::ReadOnly))
        run.out = QString::fromLocal8Bit(out.readAll());
    return run;
}

// What the run held at its peak above what it holds at the end, in MiB.
double givenBack(const TracedRun &run)
{
    return (*std::max_element(run.rss.begin(), run.rss.end()) - run.rss.back()) / MiB;
}

// The MiB the run says it took.
int taken(const TracedRun &run)
{
    return QRegularExpression(QStringLiteral(R"(took (\d+) MiB, all given back)")).match(run.out).captured(1).toInt();
}

TEST(CommandLine, freeTakesTwoMiBPerMegabyteAndGivesItAllBack)
{
    const TracedRun run = traced({"--free", "50"});
    ASSERT_EQ(run.status, 0) << qPrintable(run.out);
    ASSERT_GE(run.rss.size(), 2u);
    EXPECT_TRUE(run.out.contains(QLatin1String("Done: took 100 MiB"))) << qPrintable(run.out);
    // At the end it holds what it held before the run: the peak above the end is the run's.
    EXPECT_NEAR(givenBack(run), 100, 8) << qPrintable(run.out);
}

TEST(CommandLine, sigintStopsAFreeWithinASecondAndGivesItAllBack)
{
    if (meminfo().at("MemAvailable") < 1024 * MiB)
        GTEST_SKIP() << "less than 1 GiB available";
    const TracedRun run = traced({"--free", "2000"}, 200 * MiB);
    ASSERT_EQ(run.status, 0) << qPrintable(run.out);
    EXPECT_TRUE(run.out.contains(QLatin1String("Stopped at step"))) << qPrintable(run.out);
    EXPECT_LT(run.sinceSignal, std::chrono::seconds(1));
    EXPECT_GE(taken(run), 150) << qPrintable(run.out);
    EXPECT_NEAR(givenBack(run), taken(run), 8) << qPrintable(run.out);
}

TEST(CommandLine, autostartEntryOnQueryOff)
{
    QTemporaryDir home;
    // The program in a folder whose name the Exec key must quote and escape.
    const QString folder = home.filePath(QStringLiteral("bin dir $\"x\" 100%"));
    const QString copy = folder + QStringLiteral("/kelvane");
    ASSERT_TRUE(QDir().mkpath(folder) && QFile::copy(program, copy));
    const QString exec = QStringLiteral(R"(Exec="%1/bin dir \\$\\"x\\" 100%%/kelvane" --tray)").arg(home.path());

    const struct
    {
        QString configHome, entry;
    } places[] = {{home.filePath(QStringLiteral("config")), home.filePath(QStringLiteral("config/autostart/kelvane.desktop"))},
                  {QStringLiteral("relative"), home.filePath(QStringLiteral(".config/autostart/kelvane.desktop"))}};
    for (const auto &place : places) {
        QProcessEnvironment env = withoutDisplay();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), place.configHome);
        const auto autostart = [&](const QStringList &words) { return run(QStringList{"--autostart"} + words, env, copy); };
        SCOPED_TRACE(place.configHome.toStdString());

        EXPECT_EQ(autostart({}).out, QStringLiteral("off\n"));
        EXPECT_EQ(autostart({QStringLiteral("on")}).status, 0);
        QFile entry(place.entry);
        ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(entry.readAll()).split(u'\n').contains(exec));
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), {place.entry});
        ASSERT_TRUE(validate.waitForFinished(10000)) << "desktop-file-validate (desktop-file-utils) missing";
        EXPECT_EQ(validate.readAll(), QByteArray()) << "desktop-file-validate is silent on a good entry";
        EXPECT_EQ(autostart({}).out, QStringLiteral("on\n"));

        EXPECT_EQ(run({QStringLiteral("--autostart=off")}, env, copy).status, 0);
        EXPECT_FALSE(QFile::exists(place.entry));
        EXPECT_EQ(autostart({QStringLiteral("off")}).status, 0) << "an absent entry is off already";
        EXPECT_EQ(autostart({}).out, QStringLiteral("off\n"));
    }

    // A file where the autostart folder should be: nothing can be written.
    QProcessEnvironment env = withoutDisplay();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    QFile blocker(home.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const Result r = run({QStringLiteral("--autostart"), QStringLiteral("on")}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith(QLatin1String("kelvane: cannot write "))) << qPrintable(r.err);
}

} // namespace
