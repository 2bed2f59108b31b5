// SPDX-License-Identifier: GPL-3.0-or-later
#include "memory/proc_meminfo.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace memory {
namespace {

struct Field
{
    std::string_view key;
    std::optional<std::uint64_t> MeminfoFigures::*member;
};

constexpr std::array fields{
    Field{"MemTotal", &MeminfoFigures::memTotal},   Field{"MemFree", &MeminfoFigures::memFree},
    Field{"MemAvailable", &MeminfoFigures::memAvailable}, Field{"Buffers", &MeminfoFigures::buffers},
    Field{"Cached", &MeminfoFigures::cached},       Field{"SwapTotal", &MeminfoFigures::swapTotal},
    Field{"SwapFree", &MeminfoFigures::swapFree},   Field{"Committed_AS", &MeminfoFigures::committedAs},
};

std::optional<std::uint64_t> parseValue(std::string_view rest)
{
    std::size_t i = 0;
    while (i < rest.size() && rest[i] == ' ')
        ++i;
    std::uint64_t value = 0;
    const char *first = rest.data() + i;
    const char *last = rest.data() + rest.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end == first)
        return std::nullopt;
    std::string_view unit(end, static_cast<std::size_t>(last - end));
    while (!unit.empty() && unit.front() == ' ')
        unit.remove_prefix(1);
    if (unit.empty())
        return value;
    if (unit != "kB")
        return std::nullopt;
    if (value > UINT64_MAX / 1024)
        return std::nullopt;
    return value * 1024;
}

} // namespace

std::optional<std::uint64_t> MeminfoFigures::available() const
{
    if (memAvailable)
        return memAvailable;
    if (memFree && buffers && cached)
        return saturatingAdd(saturatingAdd(*memFree, *buffers), *cached);
    return std::nullopt;
}

MeminfoFigures parseMeminfo(std::string_view text)
{
    MeminfoFigures figures;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, colon);
        for (const Field &field : fields) {
            if (field.key == key) {
                figures.*field.member = parseValue(line.substr(colon + 1));
                break;
            }
        }
    }
    return figures;
}

ProcFile::ProcFile(const char *path)
    : m_path(path)
    , m_fd(::open(path, O_RDONLY | O_CLOEXEC))
{
}

ProcFile::~ProcFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<std::string_view> ProcFile::read(char *buffer, std::size_t size)
{
    if (m_fd < 0) {
        m_fd = ::open(m_path, O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return std::nullopt;
    }
    // /proc files regenerate their text on a read from offset 0; one pread is enough for the
    // small files read here, and a few more cover a file that comes in pieces.
    std::size_t used = 0;
    while (used < size) {
        const ssize_t n = ::pread(m_fd, buffer + used, size - used, static_cast<off_t>(used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    return std::string_view(buffer, used);
}

ProcMeminfo::ProcMeminfo(const char *path)
    : m_file(path)
{
}

std::optional<MeminfoFigures> ProcMeminfo::read()
{
    std::array<char, 8192> buffer; // NOLINT(cppcoreguidelines-pro-type-member-init): filled by the read
    const auto text = m_file.read(buffer.data(), buffer.size());
    if (!text)
        return std::nullopt;
    return parseMeminfo(*text);
}

} // namespace memory
