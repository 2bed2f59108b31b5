// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/cgroup_headroom.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace memory {
namespace {

// The next space-separated field of a mountinfo line.
std::string_view nextField(std::string_view &line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

std::string_view nextLine(std::string_view &text)
{
    const std::size_t eol = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, eol);
    text.remove_prefix(std::min(eol + 1, text.size()));
    return line;
}

bool hasToken(std::string_view list, std::string_view token)
{
    while (!list.empty()) {
        const std::size_t comma = std::min(list.find(','), list.size());
        if (list.substr(0, comma) == token)
            return true;
        list.remove_prefix(std::min(comma + 1, list.size()));
    }
    return false;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// mountinfo writes space, tab, newline and backslash in paths as \ooo.
std::string unescapeOctal(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i >= 4 && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            const int code = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + field[i + 3] - '0';
            out += static_cast<char>(code);
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

struct Mount
{
    std::string root;
    std::string point;
};

// The part of `path` below `root`, "" for the root itself; empty when root does not hold it.
std::optional<std::string_view> below(std::string_view path, std::string_view root)
{
    if (root == "/")
        root = {};
    if (!path.starts_with(root))
        return std::nullopt;
    const std::string_view rest = path.substr(root.size());
    if (!rest.empty() && rest.front() != '/')
        return std::nullopt; // "/a/bc" is not below "/a/b"
    return rest;
}

// The directories of `path` and its ancestors seen through the mount that shows the most of
// them (a bind mount of a subtree shows fewer), innermost first.
std::vector<std::string> levels(std::string_view path, const std::vector<Mount> &mounts)
{
    const Mount *best = nullptr;
    std::string_view rest;
    for (const Mount &mount : mounts) {
        const auto part = below(path, mount.root);
        if (part && (!best || part->size() > rest.size())) {
            best = &mount;
            rest = *part;
        }
    }
    std::vector<std::string> out;
    if (!best)
        return out;
    const std::string_view point = best->point == "/" ? std::string_view() : std::string_view(best->point);
    while (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    for (;;) {
        out.push_back(std::string(point).append(rest.empty() && point.empty() ? "/" : rest));
        if (rest.empty())
            return out;
        rest = rest.substr(0, rest.rfind('/'));
    }
}

std::string readWhole(const char *path)
{
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    std::array<char, 4096> chunk; // NOLINT(cppcoreguidelines-pro-type-member-init): filled by read
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

int openIfThere(const std::string &directory, const char *name)
{
    const std::string path = directory + '/' + name;
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

// A byte count from a cgroup file ("1073741824\n"), UINT64_MAX for "max", empty when the
// file cannot be read or holds anything else.
std::optional<std::uint64_t> readFigure(int fd)
{
    // The figures are at most 20 digits; one pread from offset 0 makes the kernel write the
    // value afresh.
    std::array<char, 32> text; // NOLINT(cppcoreguidelines-pro-type-member-init): filled by pread
    ssize_t n = 0;
    do
        n = ::pread(fd, text.data(), text.size(), 0);
    while (n < 0 && errno == EINTR);
    if (n <= 0 || static_cast<std::size_t>(n) == text.size())
        return std::nullopt;
    std::string_view value(text.data(), static_cast<std::size_t>(n));
    while (!value.empty() && (value.back() == '\n' || value.back() == ' '))
        value.remove_suffix(1);
    if (value == "max")
        return UINT64_MAX;
    std::uint64_t figure = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), figure);
    if (ec != std::errc() || value.empty() || end != value.data() + value.size())
        return std::nullopt;
    return figure;
}

} // namespace

CgroupPaths findCgroupPaths(std::string_view selfCgroup, std::string_view mountinfo)
{
    std::vector<Mount> unifiedMounts, v1Mounts;
    while (!mountinfo.empty()) {
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        std::string_view line = nextLine(mountinfo);
        for (int skip = 0; skip < 3; ++skip)
            (void)nextField(line);
        const std::string_view root = nextField(line);
        const std::string_view point = nextField(line);
        std::string_view field;
        do
            field = nextField(line);
        while (!field.empty() && field != "-");
        const std::string_view type = nextField(line);
        (void)nextField(line);
        const std::string_view superOptions = nextField(line);
        if (root.empty() || point.empty())
            continue;
        if (type == "cgroup2")
            unifiedMounts.push_back({unescapeOctal(root), unescapeOctal(point)});
        else if (type == "cgroup" && hasToken(superOptions, "memory"))
            v1Mounts.push_back({unescapeOctal(root), unescapeOctal(point)});
    }

    CgroupPaths paths;
    while (!selfCgroup.empty()) {
        // hierarchy-id:controllers:path; the path may hold colons itself.
        const std::string_view line = nextLine(selfCgroup);
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos)
            continue;
        const std::string_view id = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        if (path.empty() || path.front() != '/')
            continue;
        if (id == "0" && controllers.empty())
            paths.unified = levels(path, unifiedMounts);
        else if (hasToken(controllers, "memory"))
            paths.v1 = levels(path, v1Mounts);
    }
    return paths;
}

CgroupPaths readCgroupPaths(const char *selfCgroupPath, const char *mountinfoPath)
{
    return findCgroupPaths(readWhole(selfCgroupPath), readWhole(mountinfoPath));
}

CgroupHeadroomReader::CgroupHeadroomReader(const CgroupPaths &paths)
{
    const auto add = [this](const std::string &directory, std::initializer_list<const char *> limitNames,
                            const char *usageName) {
        Level level;
        for (const char *name : limitNames) {
            const int fd = openIfThere(directory, name);
            if (fd >= 0)
                level.limits.push_back(fd);
        }
        if (!level.limits.empty())
            level.usage = openIfThere(directory, usageName);
        if (level.usage >= 0) {
            m_levels.push_back(std::move(level));
            return;
        }
        for (const int fd : level.limits)
            ::close(fd);
    };
    for (const std::string &directory : paths.unified)
        add(directory, {"memory.max", "memory.high"}, "memory.current");
    for (const std::string &directory : paths.v1)
        add(directory, {"memory.limit_in_bytes"}, "memory.usage_in_bytes");
}

CgroupHeadroomReader::~CgroupHeadroomReader()
{
    close();
}

CgroupHeadroomReader::CgroupHeadroomReader(CgroupHeadroomReader &&other) noexcept
    : m_levels(std::exchange(other.m_levels, {}))
{
}

CgroupHeadroomReader &CgroupHeadroomReader::operator=(CgroupHeadroomReader &&other) noexcept
{
    if (this != &other) {
        close();
        m_levels = std::exchange(other.m_levels, {});
    }
    return *this;
}

void CgroupHeadroomReader::close() noexcept
{
    for (const Level &level : m_levels) {
        for (const int fd : level.limits)
            ::close(fd);
        ::close(level.usage);
    }
    m_levels.clear();
}

std::optional<std::uint64_t> CgroupHeadroomReader::read() const
{
    std::optional<std::uint64_t> smallest;
    for (const Level &level : m_levels) {
        std::uint64_t limit = UINT64_MAX;
        for (const int fd : level.limits)
            limit = std::min(limit, readFigure(fd).value_or(UINT64_MAX));
        if (limit >= NoCgroupLimitFrom)
            continue; // no limit here: the usage is not worth a read
        const auto usage = readFigure(level.usage);
        if (!usage)
            continue;
        const std::uint64_t headroom = *usage >= limit ? 0 : limit - *usage;
        smallest = std::min(smallest.value_or(UINT64_MAX), headroom);
    }
    return smallest;
}

std::optional<std::uint64_t> cgroupHeadroom(const CgroupPaths &paths)
{
    return CgroupHeadroomReader(paths).read();
}

OwnCgroupHeadroom::OwnCgroupHeadroom(const char *selfCgroupPath, const char *mountinfoPath)
    : m_selfCgroup(selfCgroupPath)
    , m_mountinfoPath(mountinfoPath)
{
    follow();
}

void OwnCgroupHeadroom::follow()
{
    // One line per hierarchy; a long list of v1 hierarchies with deep paths stays well
    // inside this.
    std::array<char, 4096> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): filled by the read
    const std::string_view text = m_selfCgroup.read(buffer.data(), buffer.size()).value_or("");
    if (text == m_lastSelfCgroup)
        return;
    m_lastSelfCgroup.assign(text);
    m_reader = CgroupHeadroomReader(findCgroupPaths(text, readWhole(m_mountinfoPath)));
}

} // namespace memory
