// SPDX-License-Identifier: GPL-3.0-or-later
// The outside measurements of bench/run-perf, one per sub-command. Times are CLOCK_MONOTONIC,
// so the runner can set them against its own clock.
//
//   perf_probe watch-map W H TIMEOUT_S
//       Prints "ready", then the time at which a top-level window of W x H pixels was mapped
//       and its id.
//   perf_probe click-release WINDOW X Y TIMEOUT_S
//       Clicks (X, Y) in WINDOW with xdotool and follows the window's title (_NET_WM_NAME):
//       the release starts with the first title change after the click ("Trying to ...", the
//       handler's first act) and ends with the last one before the title holds still for
//       1.5 s (the figures written once the blocks are back). Prints seconds and changes.
//   perf_probe raw BLOCKS
//       The bare work of a release: BLOCKS x (mmap 2 MiB + fill), then munmap of all, once per
//       line read from stdin, in one process. Prints seconds per run.
//   perf_probe probe PAIRS
//       One memory status probe (GetMemoryStatus) against a bare open+read+parse of
//       /proc/meminfo and /proc/self/statm, in alternating batches. Prints one line per batch.
#include "memory/linux_kernel32.h"
#include "memory/memory_status.h"
#include "memory/mmap_block_source.h"
#include "memory/release_engine.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

extern char **environ;

namespace {

double now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "perf_probe: %s\n", what);
    std::exit(2);
}

struct Free
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, Free>;

xcb_connection_t *connectDisplay()
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        die("cannot connect to the X display");
    return c;
}

// Waits for the next event until `deadline`; nullptr when the time is up.
Reply<xcb_generic_event_t> nextEvent(xcb_connection_t *c, double deadline)
{
    for (;;) {
        if (xcb_generic_event_t *e = xcb_poll_for_event(c))
            return Reply<xcb_generic_event_t>(e);
        if (xcb_connection_has_error(c))
            die("X connection lost");
        const double left = deadline - now();
        if (left <= 0)
            return nullptr;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        (void)::poll(&fd, 1, static_cast<int>(left * 1000) + 1);
    }
}

int watchMap(int width, int height, double timeout)
{
    xcb_connection_t *c = connectDisplay();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    Reply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask)));
    if (error)
        die("cannot watch the root window");
    std::printf("ready\n");
    std::fflush(stdout);
    const double deadline = now() + timeout;
    while (auto e = nextEvent(c, deadline)) {
        if ((e->response_type & 0x7f) != XCB_MAP_NOTIFY)
            continue;
        const double at = now();
        const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(e.get());
        if (map->override_redirect)
            continue;
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr));
        if (g && g->width == width && g->height == height) {
            std::printf("%.6f %u\n", at, map->window);
            xcb_disconnect(c);
            return 0;
        }
    }
    die("no window of that size was mapped in time");
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    Reply<xcb_intern_atom_reply_t> r(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    if (!r)
        die("cannot intern an atom");
    return r->atom;
}

int clickRelease(xcb_window_t window, const char *x, const char *y, double timeout)
{
    xcb_connection_t *c = connectDisplay();
    const xcb_atom_t title = atom(c, "_NET_WM_NAME");
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    Reply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, &mask)));
    if (error)
        die("cannot watch the window");

    const std::string id = std::to_string(window);
    // The pointer comes from outside the button, as a user's would: a second click where the
    // pointer already rests after a release is not taken as a click.
    const char *argv[] = {"xdotool", "mousemove", "--sync", "--window", id.c_str(), "1", "1",
                          "mousemove", "--sync", "--window", id.c_str(), x, y, "click", "1", nullptr};
    pid_t pid = 0;
    const double clicked = now();
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
        die("cannot run xdotool");

    constexpr double quiet = 1.5;
    double first = 0;
    double last = 0;
    int changes = 0;
    const double deadline = clicked + timeout;
    for (;;) {
        const double until = changes == 0 ? deadline : std::min(deadline, last + quiet);
        auto e = nextEvent(c, until);
        if (!e)
            break;
        if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            continue;
        const auto *p = reinterpret_cast<xcb_property_notify_event_t *>(e.get());
        if (p->atom != title)
            continue;
        last = now();
        if (changes++ == 0)
            first = last;
    }
    int status = 0;
    (void)::waitpid(pid, &status, 0);
    xcb_disconnect(c);
    if (changes == 0)
        die("the window title did not change after the click");
    if (now() >= deadline)
        die("the window title was still changing at the time limit");
    std::printf("%.6f %d %.6f\n", last - first, changes, first - clicked);
    return 0;
}

double rawRun(int blocks)
{
    std::vector<std::byte *> held(static_cast<std::size_t>(blocks), nullptr);
    const double start = now();
    for (std::byte *&block : held) {
        void *p = ::mmap(nullptr, memory::BlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            die("mmap failed");
        block = static_cast<std::byte *>(p);
        memory::fillWithSpaces(block, memory::BlockBytes);
    }
    for (std::byte *block : held)
        ::munmap(block, memory::BlockBytes);
    return now() - start;
}

// One run per line read from stdin, in this one process, as the program's runs are all in
// its one long-lived process.
int raw(int blocks)
{
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
        std::printf("%.6f\n", rawRun(blocks));
        std::fflush(stdout);
    }
    return 0;
}

// What a program without the probe's reuse of open files does: open, read, parse, close.
std::uint64_t bareProbe()
{
    std::array<char, 4096> text{};
    std::uint64_t sum = 0;
    for (const char *path : {"/proc/meminfo", "/proc/self/statm"}) {
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            die("cannot open a /proc file");
        const ssize_t n = ::read(fd, text.data(), text.size() - 1);
        ::close(fd);
        if (n <= 0)
            die("cannot read a /proc file");
        text[static_cast<std::size_t>(n)] = '\0';
        for (char *p = text.data(); *p;) {
            while (*p && (*p < '0' || *p > '9'))
                ++p;
            sum += std::strtoull(p, &p, 10);
        }
    }
    return sum;
}

int probe(int pairs)
{
    memory::LinuxKernel32 kernel;
    constexpr int batch = 2000;
    volatile std::uint64_t sink = 0;
    auto bare = [&] {
        const double start = now();
        for (int i = 0; i < batch; ++i)
            sink = sink + bareProbe();
        return (now() - start) / batch;
    };
    auto program = [&] {
        const double start = now();
        for (int i = 0; i < batch; ++i)
            sink = sink + static_cast<std::uint64_t>(memory::GetMemoryStatus(kernel).AvailPhys.scaled());
        return (now() - start) / batch;
    };
    (void)bare();
    (void)program();
    for (int pair = 0; pair < pairs; ++pair) {
        // a b b a: neither side always goes first.
        double a = 0;
        double b = 0;
        if (pair % 2 == 0) {
            a = bare();
            b = program();
        } else {
            b = program();
            a = bare();
        }
        std::printf("%.9f %.9f\n", a, b);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "watch-map" && argc == 5)
        return watchMap(std::atoi(argv[2]), std::atoi(argv[3]), std::atof(argv[4]));
    if (command == "click-release" && argc == 6)
        return clickRelease(static_cast<xcb_window_t>(std::strtoul(argv[2], nullptr, 0)), argv[3], argv[4],
                            std::atof(argv[5]));
    if (command == "raw" && argc == 3)
        return raw(std::atoi(argv[2]));
    if (command == "probe" && argc == 3)
        return probe(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: perf_probe watch-map W H TIMEOUT | click-release WINDOW X Y TIMEOUT | raw BLOCKS | "
                         "probe PAIRS\n");
    return 2;
}
