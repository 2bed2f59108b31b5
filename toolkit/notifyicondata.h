// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

// The notification-area record (NOTIFYICONDATAW with 32-bit handles): 936 bytes,
// little-endian, no gaps. Text fields are UTF-16LE, zero-terminated within their capacity.
namespace toolkit {

inline constexpr std::size_t NotifyIconDataSize = 936;
using NotifyIconData = std::array<std::uint8_t, NotifyIconDataSize>;

namespace nid {
// Byte offsets of the fields.
inline constexpr std::size_t cbSize = 0;
inline constexpr std::size_t hWnd = 4;
inline constexpr std::size_t uID = 8;
inline constexpr std::size_t uFlags = 12;
inline constexpr std::size_t uCallbackMessage = 16;
inline constexpr std::size_t hIcon = 20;
inline constexpr std::size_t szTip = 24;
inline constexpr std::size_t dwState = 280;
inline constexpr std::size_t dwStateMask = 284;
inline constexpr std::size_t szInfo = 288;
inline constexpr std::size_t uTimeout = 800; // shares its place with uVersion
inline constexpr std::size_t uVersion = 800;
inline constexpr std::size_t szInfoTitle = 804;
inline constexpr std::size_t dwInfoFlags = 932;
// Capacities of the text fields in UTF-16 code units, terminator included.
inline constexpr std::size_t szTipUnits = 128;
inline constexpr std::size_t szInfoUnits = 256;
inline constexpr std::size_t szInfoTitleUnits = 64;

static_assert(szTip + 2 * szTipUnits == dwState);
static_assert(szInfo + 2 * szInfoUnits == uTimeout);
static_assert(szInfoTitle + 2 * szInfoTitleUnits == dwInfoFlags);
static_assert(dwInfoFlags + 4 == NotifyIconDataSize);
} // namespace nid

// Shell operations.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;
inline constexpr std::uint32_t NIM_SETVERSION = 4;
// uFlags bits: which fields a NIM_ADD or NIM_MODIFY applies.
inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;
inline constexpr std::uint32_t NIF_INFO = 16;
inline constexpr std::uint32_t NOTIFYICON_VERSION = 3;
// dwInfoFlags: the balloon's icon in the low bits, plus "no sound".
inline constexpr std::uint32_t NIIF_NONE = 0;
inline constexpr std::uint32_t NIIF_INFO = 1;
inline constexpr std::uint32_t NIIF_WARNING = 2;
inline constexpr std::uint32_t NIIF_ERROR = 3;
inline constexpr std::uint32_t NIIF_ICON_MASK = 15;
inline constexpr std::uint32_t NIIF_NOSOUND = 16;

// Notification codes the shell sends to the owner window with the callback message.
inline constexpr std::uint32_t WM_MOUSEMOVE = 512;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 513;
inline constexpr std::uint32_t WM_LBUTTONUP = 514;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 515;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 516;
inline constexpr std::uint32_t WM_RBUTTONUP = 517;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 518;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 519;
inline constexpr std::uint32_t WM_MBUTTONUP = 520;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 521;
inline constexpr std::uint32_t NIN_SELECT = 1024;
inline constexpr std::uint32_t NIN_KEYSELECT = 1025;
inline constexpr std::uint32_t NIN_BALLOONSHOW = 1026;
inline constexpr std::uint32_t NIN_BALLOONHIDE = 1027;
inline constexpr std::uint32_t NIN_BALLOONTIMEOUT = 1028;
inline constexpr std::uint32_t NIN_BALLOONUSERCLICK = 1029;

// Little-endian access to the record; an access that would leave the record reads 0 and
// writes nothing.
std::uint32_t readU32(const NotifyIconData &record, std::size_t offset);
void writeU32(NotifyIconData &record, std::size_t offset, std::uint32_t value);
std::uint16_t readUnit(const NotifyIconData &record, std::size_t offset, std::size_t unit);
void writeUnit(NotifyIconData &record, std::size_t offset, std::size_t unit, std::uint16_t value);

// The text of a field: its code units up to the first zero, at most `units` of them.
QString readText(const NotifyIconData &record, std::size_t offset, std::size_t units);

} // namespace toolkit
