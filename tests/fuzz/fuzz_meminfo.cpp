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

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

using namespace memory;
using fuzz::utf8;

namespace {

__extension__ using u128 = unsigned __int128;
constexpr u128 u64max = UINT64_MAX;

// Any real /proc/meminfo is far shorter, and ProcMeminfo reads at most 8 KiB of it.
constexpr std::size_t recordInputLimit = 4096;

// A reading of one value (" 123 kB") of its own: exact in 128 bits, empty when malformed or
// beyond 64 bits in bytes.
std::optional<std::uint64_t> referenceValue(std::string_view rest)
{
    std::size_t i = 0;
    while (i < rest.size() && rest[i] == ' ')
        ++i;
    const std::size_t first = i;
    u128 value = 0;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i)
        value = std::min<u128>(value * 10 + static_cast<unsigned>(rest[i] - '0'), u64max + 1);
    if (i == first || value > u64max)
        return std::nullopt;
    while (i < rest.size() && rest[i] == ' ')
        ++i;
    const std::string_view unit = rest.substr(i);
    if (unit.empty())
        return static_cast<std::uint64_t>(value);
    if (unit != "kB" || value * 1024 > u64max)
        return std::nullopt;
    return static_cast<std::uint64_t>(value * 1024);
}

MeminfoFigures referenceFigures(std::string_view text)
{
    MeminfoFigures f;
    const std::pair<std::string_view, std::optional<std::uint64_t> *> keys[] = {
        {"MemTotal", &f.memTotal}, {"MemFree", &f.memFree},     {"MemAvailable", &f.memAvailable},
        {"Buffers", &f.buffers},   {"Cached", &f.cached},       {"SwapTotal", &f.swapTotal},
        {"SwapFree", &f.swapFree}, {"Committed_AS", &f.committedAs},
    };
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t eol = std::min(text.find('\n', pos), text.size());
        const std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        for (const auto &[key, member] : keys) {
            if (line.substr(0, colon) == key)
                *member = referenceValue(line.substr(colon + 1));
        }
    }
    return f;
}

std::optional<std::uint64_t> referenceAvailable(const MeminfoFigures &f)
{
    if (f.memAvailable)
        return f.memAvailable;
    if (!f.memFree || !f.buffers || !f.cached)
        return std::nullopt;
    return static_cast<std::uint64_t>(std::min<u128>(u128(*f.memFree) + *f.buffers + *f.cached, u64max));
}

// The record's field for a byte count: the count when it fits, else 0.
std::int64_t scaledBytes(std::uint64_t count)
{
    return count <= static_cast<std::uint64_t>(INT64_MAX / Currency::Scale) ? static_cast<std::int64_t>(count) * Currency::Scale
                                                                            : 0;
}

// The older family's calls: the version word says so, and the 32-bit record is all there is.
class OlderFamily final : public Kernel32
{
public:
    explicit OlderFamily(Kernel32 &kernel)
        : m_kernel(kernel)
    {
    }
    std::uint32_t GetVersion() override { return 0x80000000u; }
    bool GlobalMemoryStatusEx(MEMORYSTATUSEX &) override { return false; }
    void GlobalMemoryStatus(MEMORYSTATUS &status) override { m_kernel.GlobalMemoryStatus(status); }

private:
    Kernel32 &m_kernel;
};

// The Linux calls reading the fuzz input: a memory file, rewritten for each input, named by
// its /proc/self/fd path.
LinuxKernel32 &kernelOnMemoryFile(int &fd)
{
    static const int memfd = ::memfd_create("meminfo", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(memfd);
    static LinuxKernel32 kernel(path.c_str());
    if (memfd < 0)
        std::abort();
    fd = memfd;
    return kernel;
}

void checkRecord(const MemoryInfo &info)
{
    FUZZ_CHECK(info.MemoryLoad >= 0 && info.MemoryLoad <= 100, "load %d", info.MemoryLoad);
    const std::pair<Currency, Currency> pairs[] = {{info.AvailPhys, info.TotalPhys},
                                                   {info.AvailPageFile, info.TotalPageFile},
                                                   {info.AvailVirtual, info.TotalVirtual}};
    for (const auto &[avail, total] : pairs) {
        FUZZ_CHECK(avail.scaled() >= 0 && total.scaled() >= 0, "negative count");
        // A total the record cannot hold is 0 beside the available figure; any other is at least it.
        FUZZ_CHECK(total.scaled() == 0 || avail <= total, "available %lld > total %lld",
                   static_cast<long long>(avail.scaled()), static_cast<long long>(total.scaled()));
    }
}

// The number in a text, which must be one of the locale's, unsigned, and close to `expected`
// at one decimal.
void checkNumber(QStringView text, const QLocale &locale, double expected, const char *what)
{
    const auto n = fuzz::readDisplayed(text, locale);
    FUZZ_CHECK(n && !n->negative, "%s: '%s'", what, utf8(text).c_str());
    FUZZ_CHECK(std::abs(n->magnitude - expected) <= 0.05 * (1 + 1e-9) + std::abs(expected) * 1e-12,
               "%s: '%s' for %.17g", what, utf8(text).c_str(), expected);
}

void checkTexts(const MemoryInfo &info, const QLocale &locale)
{
    const double avail = static_cast<double>(info.AvailPhys.scaled()) / Currency::Scale;
    const double total = static_cast<double>(info.TotalPhys.scaled()) / Currency::Scale;
    const auto free = freeFraction(info);
    FUZZ_CHECK(free.has_value() == (info.TotalPhys.scaled() != 0), "free fraction presence");
    if (free)
        FUZZ_CHECK(*free >= 0 && *free <= 1, "free fraction %.17g", *free);

    const StatusTexts s = statusTexts(info, locale);
    FUZZ_CHECK(s.statusLine.has_value() == free.has_value() && s.usageLine.has_value() == free.has_value(),
               "status line presence");
    if (free) {
        // "Free: <MB> MB - Usage: <percent>% of <MB> MB"
        const QStringView line = *s.statusLine;
        const auto body = fuzz::between(line, u"Free: ", u" MB");
        FUZZ_CHECK(body, "status line '%s'", utf8(line).c_str());
        const qsizetype usageAt = body->indexOf(u" MB - Usage: ");
        const qsizetype ofAt = body->indexOf(u"% of ");
        FUZZ_CHECK(usageAt >= 0 && ofAt > usageAt, "status line '%s'", utf8(line).c_str());
        const QStringView usage = body->sliced(usageAt + 13, ofAt - usageAt - 13);
        checkNumber(body->first(usageAt), locale, avail / 1048576, "status line free");
        checkNumber(usage, locale, 100 * (1 - *free), "status line usage");
        checkNumber(body->sliced(ofAt + 5), locale, total / 1048576, "status line total");
        FUZZ_CHECK(*s.usageLine == QStringLiteral("Usage: ") + usage.toString() + u'%', "usage line '%s'", utf8(*s.usageLine).c_str());
    }
    const auto tip = fuzz::between(s.statusTip, u"Free: ", u" KB");
    FUZZ_CHECK(tip, "status tip '%s'", utf8(s.statusTip).c_str());
    checkNumber(*tip, locale, avail / 1024, "status tip");
    const qsizetype captionAt = s.caption.indexOf(u"MB Kelvane v");
    FUZZ_CHECK(captionAt >= 0, "caption '%s'", utf8(s.caption).c_str());
    checkNumber(QStringView(s.caption).first(captionAt), locale, avail / 1048576, "caption");

    const BarTexts bar = barTexts(info, locale);
    FUZZ_CHECK(bar.text.has_value() == free.has_value(), "bar text presence");
    if (bar.text) {
        const auto share = fuzz::between(*bar.text, u"", u"%");
        FUZZ_CHECK(share, "bar text '%s'", utf8(*bar.text).c_str());
        checkNumber(*share, locale, 100 * *free, "bar text");
    }
    const auto barTip = fuzz::between(bar.tip, u"", u" KB RAM");
    FUZZ_CHECK(barTip, "bar tip '%s'", utf8(bar.tip).c_str());
    checkNumber(*barTip, locale, avail / 1024, "bar tip");

    if (const auto maximum = sliderMaximum(info))
        FUZZ_CHECK(*maximum >= 0 && *maximum <= 32767, "slider maximum %d", *maximum);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    const MeminfoFigures parsed = parseMeminfo(text);
    const MeminfoFigures expected = referenceFigures(text);
    FUZZ_CHECK(parsed.memTotal == expected.memTotal && parsed.memFree == expected.memFree
                   && parsed.memAvailable == expected.memAvailable && parsed.buffers == expected.buffers
                   && parsed.cached == expected.cached && parsed.swapTotal == expected.swapTotal
                   && parsed.swapFree == expected.swapFree && parsed.committedAs == expected.committedAs,
               "parsed figures differ from the reference reading");
    FUZZ_CHECK(parsed.available() == referenceAvailable(expected), "available()");

    if (size > recordInputLimit)
        return 0;
    int fd = -1;
    LinuxKernel32 &kernel = kernelOnMemoryFile(fd);
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();

    const bool probed = expected.memTotal && *expected.memTotal != 0;
    const std::uint64_t total = expected.memTotal.value_or(0);
    const std::uint64_t avail = std::min(referenceAvailable(expected).value_or(0), total);

    const MemoryInfo info = GetMemoryStatus(kernel);
    checkRecord(info);
    if (!probed) {
        FUZZ_CHECK(info == MemoryInfo{}, "a failed probe leaves the record zeroed");
    } else {
        FUZZ_CHECK(info.TotalPhys.scaled() == scaledBytes(total), "TotalPhys");
        FUZZ_CHECK(info.AvailPhys.scaled() == scaledBytes(avail), "AvailPhys");
    }

    OlderFamily older(kernel);
    const MemoryInfo info32 = GetMemoryStatus(older);
    checkRecord(info32);
    if (!probed) {
        FUZZ_CHECK(info32 == MemoryInfo{}, "a failed probe leaves the 32-bit record zeroed");
    } else {
        FUZZ_CHECK(info32.TotalPhys.scaled() == scaledBytes(std::min<std::uint64_t>(total, 0xFFFFFFFFu)), "TotalPhys 32");
        FUZZ_CHECK(info32.AvailPhys.scaled() == scaledBytes(std::min<std::uint64_t>(avail, 0xFFFFFFFFu)), "AvailPhys 32");
    }

    const QLocale &locale = fuzz::localeFor(size > 0 ? data[0] : 0);
    checkTexts(info, locale);
    checkTexts(info32, locale);
    return 0;
}
