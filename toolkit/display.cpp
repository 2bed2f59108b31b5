// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/display.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <wayland-client-core.h>
#include <xcb/xcb.h>

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace toolkit {
namespace {

// Connects as Qt's X11 platform would (same library, same authorisation) and hangs up:
// a refused cookie or a dead forwarded display fails here instead of inside Qt.
bool x11Connects(const QByteArray &display)
{
    // A refusal prints the server's reason on stderr; the caller says it in its own line.
    const int savedStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (savedStderr >= 0 && devNull >= 0)
        ::dup2(devNull, STDERR_FILENO);
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(display.constData(), &screen);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (savedStderr >= 0 && devNull >= 0)
        ::dup2(savedStderr, STDERR_FILENO);
    for (const int fd : {savedStderr, devNull}) {
        if (fd >= 0)
            ::close(fd);
    }
    return ok;
}

bool waylandConnects(const QByteArray &display)
{
    wl_display *connection = wl_display_connect(display.constData());
    if (!connection)
        return false;
    wl_display_disconnect(connection);
    return true;
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
        if (x11Connects(display))
            return true;
        *why = QStringLiteral("cannot connect to the X display %1").arg(QString::fromLocal8Bit(display));
        return false;
    }
    if (name.startsWith("wayland")) {
        const QByteArray display = qgetenv("WAYLAND_DISPLAY");
        if (waylandConnects(display.isEmpty() ? QByteArray("wayland-0") : display))
            return true;
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
