// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/notifyicondata.h"

namespace toolkit {

namespace {

// Out-of-range access reads as 0 and writes nothing, so a wrong offset cannot corrupt memory.
bool fits(std::size_t offset, std::size_t size) { return offset <= NotifyIconDataSize - size; }

} // namespace

std::uint32_t readU32(const NotifyIconData &record, std::size_t offset)
{
    if (!fits(offset, 4))
        return 0;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(record[offset + i]) << (8 * i);
    return value;
}

void writeU32(NotifyIconData &record, std::size_t offset, std::uint32_t value)
{
    if (!fits(offset, 4))
        return;
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t readUnit(const NotifyIconData &record, std::size_t offset, std::size_t unit)
{
    const std::size_t at = offset + 2 * unit;
    if (unit > NotifyIconDataSize || !fits(at, 2))
        return 0;
    return static_cast<std::uint16_t>(record[at] | record[at + 1] << 8);
}

void writeUnit(NotifyIconData &record, std::size_t offset, std::size_t unit, std::uint16_t value)
{
    const std::size_t at = offset + 2 * unit;
    if (unit > NotifyIconDataSize || !fits(at, 2))
        return;
    record[at] = static_cast<std::uint8_t>(value);
    record[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

QString readText(const NotifyIconData &record, std::size_t offset, std::size_t units)
{
    QString text;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint16_t unit = readUnit(record, offset, i);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

} // namespace toolkit
