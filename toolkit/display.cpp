// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/display.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <wayland-client-core.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace toolkit {
namespace {

// How long the check waits for a display server's answer. A live server answers a
// connection at once, even through a slow forwarding; one that accepts and then says nothing
// (a stuck ssh forwarding, a frozen server) would hold the start for ever.
constexpr int answerWaitMs = 3000;

enum class Answer { Accepts, Refuses, Silent };

// Connects as Qt's X11 platform would (same library, same authorisation) and hangs up:
// a refused cookie or a dead forwarded display fails here instead of inside Qt.
bool x11Accepts(const QByteArray &display)
{
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(display.constData(), &screen);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

// Connects and waits for the compositor's answer to one request, as Qt's Wayland platform
// does before anything else.
bool waylandAccepts(const QByteArray &display)
{
    wl_display *connection = wl_display_connect(display.constData());
    if (!connection)
        return false;
    const bool ok = wl_display_roundtrip(connection) >= 0;
    wl_display_disconnect(connection);
    return ok;
}

void waitForChild(pid_t child)
{
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Asks `accepts` in a child process, which is killed when it has not answered within
// answerWaitMs: the client libraries wait for a server without a time limit. Their reasons
// for a refusal, printed on stderr, go nowhere; the caller says it in its own line. Called
// before the toolkit starts any thread, so the child may do what the libraries do. Without a
// child (fork failed) the display is trusted and Qt tries it itself.
Answer askWithin(bool (*accepts)(const QByteArray &), const QByteArray &display)
{
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return Answer::Accepts;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            ::dup2(devNull, STDERR_FILENO);
        const char answer = accepts(display) ? 'y' : 'n';
        [[maybe_unused]] const auto n = ::write(channel[1], &answer, 1);
        ::_exit(0);
    }
    ::close(channel[1]);
    if (child < 0) {
        ::close(channel[0]);
        return Answer::Accepts;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerWaitMs);
    char answer = 0;
    bool silent = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{channel[0], POLLIN, 0};
        const int n = left.count() > 0 ? ::poll(&ready, 1, int(left.count())) : 0;
        if (n < 0 && errno == EINTR)
            continue;
        silent = n == 0;
        if (n > 0 && ::read(channel[0], &answer, 1) < 0 && errno == EINTR)
            continue;
        break;
    }
    ::close(channel[0]);
    if (answer == 0)
        ::kill(child, SIGKILL);
    waitForChild(child);
    if (silent)
        return Answer::Silent;
    // A child that ended without a word (it crashed) counts as a refusal.
    return answer == 'y' ? Answer::Accepts : Answer::Refuses;
}

// What Qt would try, in its order: the platforms QT_QPA_PLATFORM lists (";"-separated, each
// with optional ":options"), else Wayland when WAYLAND_DISPLAY is set, then X11.
QList<QByteArray> platformCandidates()
{
    QList<QByteArray> names;
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (chosen.isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            names << "wayland";
        names << "xcb";
        return names;
    }
    for (const QByteArray &entry : chosen.split(';')) {
        const QByteArray name = entry.left(entry.indexOf(':') < 0 ? entry.size() : entry.indexOf(':')).trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

// Whether the platform `name` can be reached; nullopt for platforms that need no display
// server (offscreen, minimal, vnc, eglfs …), which are trusted. On false, why says what failed.
std::optional<bool> platformReachable(const QByteArray &name, QString *why)
{
    if (name == "xcb") {
        const QByteArray display = qgetenv("DISPLAY");
        if (display.isEmpty()) {
            *why = QStringLiteral("no X display (DISPLAY is not set)");
            return false;
        }
        const Answer answer = askWithin(x11Accepts, display);
        if (answer == Answer::Accepts)
            return true;
        *why = QString(answer == Answer::Silent ? QStringLiteral("the X display %1 does not answer")
                                                : QStringLiteral("cannot connect to the X display %1"))
                   .arg(QString::fromLocal8Bit(display));
        return false;
    }
    if (name.startsWith("wayland")) {
        const QByteArray display = qgetenv("WAYLAND_DISPLAY");
        const QByteArray socket = display.isEmpty() ? QByteArray("wayland-0") : display;
        const Answer answer = askWithin(waylandAccepts, socket);
        if (answer == Answer::Accepts)
            return true;
        if (answer == Answer::Silent)
            *why = QStringLiteral("the Wayland display %1 does not answer").arg(QString::fromLocal8Bit(socket));
        else
            *why = display.isEmpty()
                ? QStringLiteral("no Wayland display (WAYLAND_DISPLAY is not set)")
                : QStringLiteral("cannot connect to the Wayland display %1").arg(QString::fromLocal8Bit(display));
        return false;
    }
    return std::nullopt;
}

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

bool displayAvailable(QString *why)
{
    QString firstFailure;
    const QList<QByteArray> candidates = platformCandidates();
    for (const QByteArray &name : candidates) {
        QString failure;
        const std::optional<bool> reachable = platformReachable(name, &failure);
        if (reachable.value_or(true))
            return true;
        if (firstFailure.isEmpty())
            firstFailure = failure;
    }
    if (why) {
        // Without any setting at all, say so rather than name the last platform tried.
        const bool nothingSet = qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
        *why = nothingSet ? QStringLiteral("no display available (neither DISPLAY nor WAYLAND_DISPLAY is set)")
                          : firstFailure;
    }
    return false;
}

bool addressSpaceForStart(QString *why)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return true;
    // Beyond the libraries already mapped, Qt maps thread stacks, fonts and window buffers as
    // it starts; with less room its X11 event thread fails to start and it hangs, or it
    // aborts halfway. It came up with 34 MiB to spare and hung with 20 (measured on x86_64).
    // A reservation of that much address space, taken and given back at once, tells
    // beforehand.
    constexpr std::size_t needed = 32u << 20;
    void *probe = ::mmap(nullptr, needed, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe != MAP_FAILED) {
        ::munmap(probe, needed);
        return true;
    }
    if (why)
        *why = QStringLiteral("not enough address space to start (the limit is %1 MB)").arg(limit.rlim_cur >> 20);
    return false;
}

namespace {
constexpr char noSharedMemory[] = "QT_XCB_NO_MITSHM";
} // namespace

FramesOverConnection::FramesOverConnection()
    : m_set(!qEnvironmentVariableIsSet(noSharedMemory))
{
    if (m_set)
        qputenv(noSharedMemory, "1");
}

FramesOverConnection::~FramesOverConnection()
{
    if (m_set)
        qunsetenv(noSharedMemory);
}

void closeOnTerminationSignals(QWidget *window)
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char buffer[16];
        [[maybe_unused]] const auto n = ::read(signalPipe[0], buffer, sizeof buffer);
        window->close();
    });
    onTerminationSignals(onSignal);
}

void onTerminationSignals(void (*handler)(int))
{
    struct sigaction action{};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

} // namespace toolkit
