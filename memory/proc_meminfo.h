// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace memory {

// Byte counts add and multiply saturating at the top of the range: a figure that would wrap
// must never come out small.
constexpr std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}
constexpr std::uint64_t saturatingMul(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// The /proc/meminfo lines the program uses, in bytes. A line that is missing or cannot be
// read is empty.
struct MeminfoFigures
{
    std::optional<std::uint64_t> memTotal;
    std::optional<std::uint64_t> memFree;
    std::optional<std::uint64_t> memAvailable;
    std::optional<std::uint64_t> buffers;
    std::optional<std::uint64_t> cached;
    std::optional<std::uint64_t> swapTotal;
    std::optional<std::uint64_t> swapFree;
    std::optional<std::uint64_t> committedAs;

    // MemAvailable, or MemFree + Buffers + Cached (saturating) on kernels that do not report it.
    std::optional<std::uint64_t> available() const;
};

// Parses the text of /proc/meminfo ("Key:   123456 kB" lines). Unknown lines, garbage and
// values that would overflow are skipped.
MeminfoFigures parseMeminfo(std::string_view text);

// Reads a small /proc file through a descriptor kept open between reads, which makes a
// read about as cheap as the kernel's formatting of the file.
class ProcFile
{
public:
    explicit ProcFile(const char *path);
    ~ProcFile();
    ProcFile(const ProcFile &) = delete;
    ProcFile &operator=(const ProcFile &) = delete;

    // The whole file into buffer; the text read, or empty on failure.
    std::optional<std::string_view> read(char *buffer, std::size_t size);

private:
    const char *m_path;
    int m_fd = -1;
};

// Reads /proc/meminfo afresh on every call.
class ProcMeminfo
{
public:
    explicit ProcMeminfo(const char *path = "/proc/meminfo");
    std::optional<MeminfoFigures> read();

private:
    ProcFile m_file;
};

} // namespace memory
