// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/display.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <optional>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace toolkit {
namespace {

bool canConnect(const QByteArray &path, bool abstract)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const qsizetype offset = abstract ? 1 : 0;
    if (path.size() + offset >= static_cast<qsizetype>(sizeof(addr.sun_path)))
        return false;
    std::memcpy(addr.sun_path + offset, path.constData(), static_cast<std::size_t>(path.size()));
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // Linux accepts sockaddr_un through the generic pointer type the call is declared with.
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&addr), length) == 0;
    ::close(fd);
    return ok;
}

bool waylandReachable(const QByteArray &display)
{
    if (display.startsWith('/'))
        return canConnect(display, false);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && canConnect(runtime + '/' + display, false);
}

// DISPLAY forms: ":0", ":0.0", "unix:0", "host:0" (TCP, not checked here).
std::optional<bool> x11Reachable(const QByteArray &display)
{
    const qsizetype colon = display.lastIndexOf(':');
    if (colon < 0)
        return false;
    const QByteArray host = display.left(colon);
    if (!host.isEmpty() && host != "unix")
        return std::nullopt;
    QByteArray number = display.mid(colon + 1);
    number = number.left(number.indexOf('.') < 0 ? number.size() : number.indexOf('.'));
    bool ok = false;
    number.toUInt(&ok);
    if (!ok)
        return false;
    const QByteArray path = "/tmp/.X11-unix/X" + number;
    return canConnect(path, false) || canConnect(path, true);
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
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray x11 = qgetenv("DISPLAY");
    if (!wayland.isEmpty() && waylandReachable(wayland))
        return true;
    if (!x11.isEmpty()) {
        if (x11Reachable(x11).value_or(true))
            return true;
        if (why)
            *why = QStringLiteral("cannot connect to the X display %1").arg(QString::fromLocal8Bit(x11));
        return false;
    }
    if (why) {
        *why = wayland.isEmpty()
            ? QStringLiteral("no display available (neither DISPLAY nor WAYLAND_DISPLAY is set)")
            : QStringLiteral("cannot connect to the Wayland display %1").arg(QString::fromLocal8Bit(wayland));
    }
    return false;
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
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}

} // namespace toolkit
