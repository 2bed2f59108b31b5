// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include "app/autostart.h"
#include "app/command_output.h"
#include "app/commands.h"
#include "kelvane_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

// The amount slider's widest range: its maximum is 16 bits wide.
constexpr int MaxMegabytes = 32767;

const QStringList commandNames = { QStringLiteral("help"), QStringLiteral("status"), QStringLiteral("json"),
    QStringLiteral("free"), QStringLiteral("autostart"), QStringLiteral("version") };

const char usageText[] = R"(Usage: kelvane [--tray | /tray]
       kelvane --status [--json]
       kelvane --free N
       kelvane --autostart [on|off]
       kelvane --help | --version

Kelvane shows the free physical memory and makes more of it available.
Without a command option it starts as a window, or hidden in the tray with
--tray or /tray (any case, anywhere among the arguments); other words are
ignored then.

  --status            print the window's figures: the status line, the tray
                      tool tip (two lines) and the graph's usage, one a line
  --json              with --status: one JSON object, counts in bytes
  --free N            take N blocks of 2 MiB (the window's "Free N MB", so
                      2N MiB in all; N from 1 to 32767, at most what the
                      window's slider offers now), then give them all back;
                      progress on standard output; Ctrl-C stops it
  --autostart on|off  start Kelvane in the tray at login, or no longer;
                      alone: print on or off
  --help              print this help
  --version           print the version

Exit status: 0 done, 1 failure, 2 bad usage.
)";

// "--name" or "--name=value" for one of the command options.
bool namesCommand(const QString &argument)
{
    return argument.startsWith(QLatin1String("--"))
        && commandNames.contains(argument.mid(2).section(u'=', 0, 0));
}

int badUsage(const QString &message)
{
    std::fprintf(stderr, "kelvane: %s\nTry 'kelvane --help' for more information.\n", qPrintable(message));
    return BadUsage;
}

int runParsed(QStringList arguments)
{
    // --autostart takes an optional word: "--autostart=on" is "--autostart on".
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(QLatin1String("--autostart="))) {
            const QString state = arguments[i].mid(12);
            arguments[i] = QStringLiteral("--autostart");
            arguments.insert(i + 1, state);
        }
    }

    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption status(QStringLiteral("status"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption free(QStringLiteral("free"), QString(), QStringLiteral("N"));
    const QCommandLineOption autostart(QStringLiteral("autostart"));
    const QCommandLineOption tray(QStringLiteral("tray"));
    QCommandLineParser parser;
    parser.addOptions({ help, version, status, json, free, autostart, tray });
    if (!parser.parse(arguments))
        return badUsage(parser.errorText());

    if (parser.isSet(help)) {
        print(QByteArray(usageText));
        return Done;
    }
    if (parser.isSet(version)) {
        print(QByteArray("kelvane ") + toolkit::version::text + '\n');
        return Done;
    }

    const int commands = int(parser.isSet(status)) + int(parser.isSet(free)) + int(parser.isSet(autostart));
    if (commands > 1)
        return badUsage(QStringLiteral("--status, --free and --autostart go one at a time"));
    if (parser.isSet(json) && !parser.isSet(status))
        return badUsage(QStringLiteral("--json goes with --status"));
    if (parser.isSet(tray))
        return badUsage(QStringLiteral("--tray starts the program and goes with no command option"));
    const QStringList words = parser.positionalArguments();
    const bool stateWord = parser.isSet(autostart) && words.size() == 1;
    if (!words.isEmpty() && !stateWord)
        return badUsage(QStringLiteral("unexpected argument '%1'").arg(words.constFirst()));

    if (parser.isSet(status))
        return printStatus(parser.isSet(json));
    if (parser.isSet(free)) {
        // Which of two amounts was meant cannot be told; the last one is not a safe guess.
        if (const qsizetype amounts = parser.values(free).size(); amounts > 1)
            return badUsage(QStringLiteral("--free takes one amount, not %1").arg(amounts));
        bool number = false;
        const int megabytes = parser.value(free).toInt(&number, 10);
        if (!number || megabytes < 1 || megabytes > MaxMegabytes)
            return badUsage(QStringLiteral("--free wants a whole number of MB from 1 to %1, not '%2'")
                                .arg(MaxMegabytes)
                                .arg(parser.value(free)));
        return freeMemory(megabytes);
    }
    const QString state = stateWord ? words.constFirst() : QString();
    if (!state.isEmpty() && state != QLatin1String("on") && state != QLatin1String("off"))
        return badUsage(QStringLiteral("--autostart takes on or off, not '%1'").arg(state));
    return autostartCommand(state);
}

} // namespace

int complain(const QString &message, int status)
{
    std::fprintf(stderr, "kelvane: %s\n", qPrintable(message));
    return status;
}

int autostartCommand(const QString &state)
{
    if (state.isEmpty()) {
        print(QByteArray(autostart::isOn() ? "on\n" : "off\n"));
        return Done;
    }
    QString why;
    if (state == QLatin1String("off"))
        return autostart::turnOff(&why)
            ? Done
            : complain(QStringLiteral("cannot remove %1: %2").arg(autostart::entryPath(), why), Failed);
    return autostart::turnOn(QCoreApplication::applicationFilePath(), &why)
        ? Done
        : complain(QStringLiteral("cannot write %1: %2").arg(autostart::entryPath(), why), Failed);
}

std::optional<int> runCommand(int &argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (std::none_of(
            arguments.cbegin() + std::min<qsizetype>(1, arguments.size()), arguments.cend(), namesCommand))
        return std::nullopt;

    holdStandardStreams();
    // No display is needed for any of them: a core application, not a GUI one.
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(toolkit::version::text));
    return finishOutput(runParsed(arguments));
}

QString startCommandLine(const QStringList &arguments)
{
    QString line = arguments.join(u' ');
    if (arguments.contains(QLatin1String("--tray")))
        line += QLatin1String(" /tray");
    return line;
}

} // namespace cli
