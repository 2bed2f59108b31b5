// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary /proc/meminfo text through the parser, the Linux status calls (which read it from a
// memory file as they read /proc), both paths of the memory record, and the texts and figures
// the status display makes of the record. The first byte also picks the locale of the texts.
#include "fuzz_support.h"

#include "app/status_texts.h"
#include "memory/linux_kernel32.h"
#include "memory/memory_status.h"
#include "memory/proc_meminfo.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <string_view>

using namespace memory;
using fuzz::u128;
using fuzz::utf8;

namespace {

using Figure = std::optional<std::uint64_t> MeminfoFigures::*;
const std::pair<std::string_view, Figure> keys[] = {
    {"MemTotal", &MeminfoFigures::memTotal}, {"MemFree", &MeminfoFigures::memFree},
    {"MemAvailable", &MeminfoFigures::memAvailable}, {"Buffers", &MeminfoFigures::buffers},
    {"Cached", &MeminfoFigures::cached}, {"SwapTotal", &MeminfoFigures::swapTotal},
    {"SwapFree", &MeminfoFigures::swapFree}, {"Committed_AS", &MeminfoFigures::committedAs},
};

// A reading of one value (" 123 kB") of its own, exact in 128 bits: empty when malformed or
// beyond 64 bits in bytes.
std::optional<std::uint64_t> referenceValue(std::string_view rest)
{
    const auto m = fuzz::regex(" *([0-9]+) *(kB)?").match(QString::fromLatin1(rest.data(), std::ssize(rest)));
    u128 value = 0;
    for (const QChar c : m.capturedView(1))
        value = std::min<u128>(value * 10 + c.digitValue(), u128(1) << 64);
    if (m.capturedLength(2) > 0)
        value *= 1024;
    if (!m.hasMatch() || value > UINT64_MAX)
        return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

MeminfoFigures referenceFigures(std::string_view text)
{
    MeminfoFigures f;
    for (std::string_view rest = text; !rest.empty();) {
        const std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(line.size() + 1, rest.size()));
        const std::string_view name = line.substr(0, line.find(':'));
        for (const auto &[key, figure] : keys) {
            if (name == key && name.size() < line.size())
                f.*figure = referenceValue(line.substr(key.size() + 1));
        }
    }
    return f;
}

// The record's field for a byte count: the count when it fits, else 0.
std::int64_t scaledBytes(std::uint64_t count)
{
    return count <= static_cast<std::uint64_t>(INT64_MAX / Currency::Scale)
        ? static_cast<std::int64_t>(count) * Currency::Scale
        : 0;
}

// The older family: the version word alone says so; the extended call still works.
class OlderFamily final : public Kernel32
{
public:
    explicit OlderFamily(Kernel32 &kernel) : m_kernel(kernel) {}
    std::uint32_t GetVersion() override { return 0x80000000u; }
    bool GlobalMemoryStatusEx(MEMORYSTATUSEX &status) override { return m_kernel.GlobalMemoryStatusEx(status); }
    void GlobalMemoryStatus(MEMORYSTATUS &status) override { m_kernel.GlobalMemoryStatus(status); }

private:
    Kernel32 &m_kernel;
};

void checkRecord(const MemoryInfo &info)
{
    FUZZ_CHECK(info.MemoryLoad >= 0 && info.MemoryLoad <= 100, "load %d", info.MemoryLoad);
    const std::pair<Currency, Currency> pairs[] = {{info.AvailPhys, info.TotalPhys},
                                                   {info.AvailPageFile, info.TotalPageFile},
                                                   {info.AvailVirtual, info.TotalVirtual}};
    // A total the record cannot hold is 0 beside the available figure; any other is at least it.
    for (const auto &[avail, total] : pairs) {
        FUZZ_CHECK(avail.scaled() >= 0 && total.scaled() >= 0 && (total.scaled() == 0 || avail <= total),
                   "available %.17g, total %.17g", avail.toDouble(), total.toDouble());
    }
}

// `text` matches `shape`, whose groups each hold an unsigned number of the locale within
// rounding to one decimal of its `expected` figure.
void checkShape(QStringView text, const QString &shape, std::initializer_list<double> expected, const QLocale &locale)
{
    const QRegularExpressionMatch m = fuzz::regex(shape).match(text);
    FUZZ_CHECK(m.hasMatch(), "'%s' is not '%s'", utf8(text).c_str(), utf8(shape).c_str());
    int group = 0;
    for (const double e : expected) {
        const auto n = fuzz::readDisplayed(m.capturedView(++group), locale);
        FUZZ_CHECK(n && !n->negative && std::abs(n->magnitude - e) <= 0.05 * (1 + 1e-9) + e * 1e-12,
                   "'%s': number %d for %.17g", utf8(text).c_str(), group, e);
    }
}

void checkTexts(const MemoryInfo &info, const QLocale &locale)
{
    const double availKB = static_cast<double>(info.AvailPhys.scaled()) / Currency::Scale / 1024;
    const double totalKB = static_cast<double>(info.TotalPhys.scaled()) / Currency::Scale / 1024;
    const auto free = freeFraction(info);
    const StatusTexts s = statusTexts(info, locale);
    const BarTexts bar = barTexts(info, locale);
    FUZZ_CHECK(free.has_value() == (info.TotalPhys.scaled() != 0) && s.statusLine.has_value() == free.has_value()
                   && s.usageLine.has_value() == free.has_value() && bar.text.has_value() == free.has_value(),
               "presence of the figures that need the total");
    if (free) {
        FUZZ_CHECK(*free >= 0 && *free <= 1, "free fraction %.17g", *free);
        checkShape(*s.statusLine, "Free: (.*) MB - Usage: (.*)% of (.*) MB",
                   {availKB / 1024, 100 * (1 - *free), totalKB / 1024}, locale);
        checkShape(*s.usageLine, "Usage: (.*)%", {100 * (1 - *free)}, locale);
        checkShape(*bar.text, "(.*)%", {100 * *free}, locale);
    }
    checkShape(s.statusTip, "Free: (.*) KB", {availKB}, locale);
    checkShape(s.caption, "(.*)MB Kelvane v[0-9]+\\.[0-9]+", {availKB / 1024}, locale);
    checkShape(bar.tip, "(.*) KB RAM", {availKB}, locale);
    if (const auto maximum = sliderMaximum(info))
        FUZZ_CHECK(*maximum >= 0 && *maximum <= 32767, "slider maximum %d", *maximum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const MeminfoFigures parsed = parseMeminfo(text);
    const MeminfoFigures expected = referenceFigures(text);
    for (const auto &[key, figure] : keys)
        FUZZ_CHECK(parsed.*figure == expected.*figure, "%s differs from the reference reading", key.data());
    std::optional<std::uint64_t> available = expected.memAvailable;
    if (!available && expected.memFree && expected.buffers && expected.cached) {
        const u128 sum = u128(*expected.memFree) + *expected.buffers + *expected.cached;
        available = static_cast<std::uint64_t>(std::min<u128>(sum, UINT64_MAX));
    }
    FUZZ_CHECK(parsed.available() == available, "available()");

    // Any real /proc/meminfo is far shorter, and ProcMeminfo reads at most 8 KiB of it.
    if (size > 4096)
        return 0;
    static const int memfd = ::memfd_create("meminfo", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(memfd);
    static LinuxKernel32 kernel(path.c_str());
    if (memfd < 0 || ::ftruncate(memfd, 0) != 0 || ::pwrite(memfd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();

    const std::uint64_t total = expected.memTotal.value_or(0);
    const std::uint64_t avail = std::min(available.value_or(0), total);
    const auto commitLimit = static_cast<std::uint64_t>(
        std::min<u128>(u128(total) + expected.swapTotal.value_or(0), UINT64_MAX));
    const std::uint64_t commitFree = commitLimit - std::min(commitLimit, expected.committedAs.value_or(0));
    OlderFamily older(kernel);
    const std::pair<Kernel32 *, std::uint64_t> families[] = {{&kernel, UINT64_MAX}, {&older, 0xFFFFFFFFu}};
    for (const auto &[family, limit] : families) {
        const MemoryInfo info = GetMemoryStatus(*family);
        checkRecord(info);
        FUZZ_CHECK(total != 0 ? info.TotalPhys.scaled() == scaledBytes(std::min(total, limit))
                           && info.AvailPhys.scaled() == scaledBytes(std::min(avail, limit))
                           && info.TotalPageFile.scaled() == scaledBytes(std::min(commitLimit, limit))
                           && info.AvailPageFile.scaled() == scaledBytes(std::min(commitFree, limit))
                           && std::abs(info.MemoryLoad - 100 * (1 - double(avail) / double(total))) <= 0.5
                          : info == MemoryInfo{},
                   "physical and page file figures and load of the record of at most %llx bytes",
                   static_cast<unsigned long long>(limit));
        checkTexts(info, fuzz::localeFor(size > 0 ? data[0] : 0));
    }
    return 0;
}
