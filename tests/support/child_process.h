// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A piece of a test run in a forked child, for what must not touch the test process itself
// (a resource limit, a mount namespace): the child's answer comes back through a pipe.
#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// The text `body` returns in the child, or "<no answer>" when the child ends without one.
inline std::string inChild(const std::function<std::string()> &body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "<no pipe>";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const std::string answer = body();
        const bool sent = ::write(fds[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    std::string answer;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR);)
        answer.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    ::close(fds[0]);
    int status = 0;
    const bool answered = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
    return answered ? answer : "<no answer>";
}
