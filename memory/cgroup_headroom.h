// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "memory/proc_meminfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace memory {

// A memory control group's limit binds every process inside it and inside its descendants,
// and its OOM killer acts on the group's own charge, whatever /proc/meminfo says about the
// machine. So the room for an allocation is also the smallest limit - usage over the
// process's cgroup and each ancestor that has a limit.

// Limits at or above this mean none. cgroup v1 reports "none" as the largest page multiple
// below 2^63 (9223372036854771712); no machine has 2^62 bytes to limit anyway.
inline constexpr std::uint64_t NoCgroupLimitFrom = 1ull << 62;

// The directories of the process's memory cgroup and of each ancestor up to the root of the
// mount it is seen through, innermost first, one list per hierarchy. Ancestors above the
// mount root (the host's groups, seen from a container) cannot be read and are not listed;
// their limits are charged against the mount root's usage anyway.
struct CgroupPaths
{
    // cgroup v2: memory.max and memory.high against memory.current. Above memory.high the
    // kernel throttles the whole group and reclaims from it hard, which would stall the
    // release and page out the group's other programs, so it counts as a limit too.
    std::vector<std::string> unified;
    // cgroup v1 memory controller: memory.limit_in_bytes against memory.usage_in_bytes.
    std::vector<std::string> v1;

    bool operator==(const CgroupPaths &) const = default;
};

// Finds the directories from the texts of /proc/self/cgroup and /proc/self/mountinfo: the
// unified line ("0::/path") through the cgroup2 mount, the line whose controllers include
// "memory" through the cgroup v1 mount with the memory option. A mount's root field maps the
// path onto its mount point; a mount whose root does not hold the path (another container's
// groups) is passed over. No such line or mount, no directories: no cgroup limit.
CgroupPaths findCgroupPaths(std::string_view selfCgroup, std::string_view mountinfo);

// Reads the two files and finds the directories; an unreadable file counts as empty.
CgroupPaths readCgroupPaths(const char *selfCgroupPath = "/proc/self/cgroup",
                            const char *mountinfoPath = "/proc/self/mountinfo");

// Reads the headroom of a set of cgroup directories again and again, cheaply: the files are
// opened once and read through the kept descriptors, and usage is read only at levels that
// have a limit. A file missing when the reader is made (a level without the memory
// controller, the root group, which has no limit files) or unreadable later sets no limit at
// its level; it is not looked for again.
class CgroupHeadroomReader
{
public:
    explicit CgroupHeadroomReader(const CgroupPaths &paths = {});
    ~CgroupHeadroomReader();
    CgroupHeadroomReader(CgroupHeadroomReader &&other) noexcept;
    CgroupHeadroomReader &operator=(CgroupHeadroomReader &&other) noexcept;

    // The smallest limit - usage over the levels, 0 where usage is above the limit; empty
    // when no level has a limit.
    std::optional<std::uint64_t> read() const;

private:
    struct Level
    {
        std::vector<int> limits; // descriptors of the files that hold a limit
        int usage = -1;
    };
    void close() noexcept;

    std::vector<Level> m_levels;
};

// The headroom of `paths` as it stands now (one CgroupHeadroomReader, read once).
std::optional<std::uint64_t> cgroupHeadroom(const CgroupPaths &paths);

// The headroom of the process's own cgroups, for a caller that asks before each allocation.
//
// A process's cgroup rarely changes, and finding it reads /proc/self/mountinfo, which can be
// long, so the directories are kept. But a process can be moved (a session manager placing a
// running program into a scope, an administrator limiting it), so follow() looks at the
// short /proc/self/cgroup again and finds the directories anew only when it changed.
class OwnCgroupHeadroom
{
public:
    explicit OwnCgroupHeadroom(const char *selfCgroupPath = "/proc/self/cgroup",
                               const char *mountinfoPath = "/proc/self/mountinfo");

    // Follows a move of the process into another cgroup since the last call.
    void follow();
    std::optional<std::uint64_t> read() const { return m_reader.read(); }

private:
    ProcFile m_selfCgroup;
    const char *m_mountinfoPath;
    std::string m_lastSelfCgroup;
    CgroupHeadroomReader m_reader;
};

} // namespace memory
