// SPDX-License-Identifier: GPL-3.0-or-later
// The layers that meet Windows itself, run under Wine: the tray record as the x64 shell takes
// it, the shell's callback message, the registry store, the instance mutex and the blocks.
#include "memory/virtual_alloc_block_source.h"
#include "memory/windows_kernel32.h"
#include "tests/support/fake_kernel32.h"
#include "tests/support/qt_printers.h"
#include "tests/support/settings_folder.h"
#include "toolkit/notifyshell_windows.h"
#include "toolkit/single_instance.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

using namespace toolkit;

void writeText(NotifyIconData &record, std::size_t offset, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        writeUnit(record, offset, static_cast<std::size_t>(i), text[i].unicode());
}

// The window, the icon's id and the callback message are proved in a real tray
// (tray_test.sh: the icon is clicked); here the fields that tray cannot show.
TEST(WindowsNotifyRecord, everyFieldInItsNativePlaceWithTheRealHandles)
{
    NotifyIconData record{};
    writeU32(record, nid::cbSize, NotifyIconDataSize);
    writeU32(record, nid::uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO);
    writeU32(record, nid::hIcon, 9);
    writeText(record, nid::szTip, QStringLiteral("Kelvane \u00e9 42 %"));
    writeU32(record, nid::dwState, 0x55);
    writeU32(record, nid::dwStateMask, 0x66);
    writeText(record, nid::szInfo, QStringLiteral("Balloon text"));
    writeU32(record, nid::uTimeout, 15000);
    writeText(record, nid::szInfoTitle, QStringLiteral("Title"));
    writeU32(record, nid::dwInfoFlags, NIIF_WARNING | NIIF_NOSOUND);
    const auto owner = reinterpret_cast<HWND>(0x123456789A);
    const auto icon = reinterpret_cast<HICON>(0x98765432B0);

    const NOTIFYICONDATAW native = nativeRecord(record, owner, icon);

    static_assert(sizeof(NOTIFYICONDATAW) == 976);
    EXPECT_EQ(native.cbSize, 976u);
    EXPECT_EQ(native.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO);
    EXPECT_EQ(native.hIcon, icon);
    EXPECT_STREQ(native.szTip, L"Kelvane \u00e9 42 %");
    EXPECT_EQ(native.dwState, 0x55u);
    EXPECT_EQ(native.dwStateMask, 0x66u);
    EXPECT_STREQ(native.szInfo, L"Balloon text");
    EXPECT_EQ(native.uTimeout, 15000u);
    EXPECT_STREQ(native.szInfoTitle, L"Title");
    EXPECT_EQ(native.dwInfoFlags, NIIF_WARNING | NIIF_NOSOUND);
    EXPECT_EQ(native.hBalloonIcon, nullptr);
}

TEST(WindowsNotifyRecord, callbackMessageCarriesTheCodeOfItsOwnIconOnly)
{
    // version, uID, wParam, lParam, code
    const std::tuple<std::uint32_t, std::uint32_t, WPARAM, LPARAM, std::optional<std::uint32_t>> cases[] = {
        {0, 5, 5, WM_RBUTTONUP, WM_RBUTTONUP},
        {3, 1, 2, WM_LBUTTONUP, std::nullopt},                  // another icon's
        {4, 1, 0x00200010, MAKELPARAM(0x7B, 1), 0x7Bu},         // version 4: code and uID in lParam
        {4, 1, 0, MAKELPARAM(WM_LBUTTONUP, 2), std::nullopt},
    };
    for (const auto &[version, uID, wParam, lParam, code] : cases)
        EXPECT_EQ(callbackCode(version, uID, wParam, lParam), code) << version << " " << lParam;
}

struct RegistryStoreTest : ::testing::Test, SettingsFolder
{
    static constexpr wchar_t path[] = L"Software\\VB and VBA Program Settings\\Copperline\\Settings";
};

TEST_F(RegistryStoreTest, stringValuesRoundTripThroughTheRegistry)
{
    EXPECT_EQ(stored(QStringLiteral("KelvaneTray")), QStringLiteral("<absent>"));
    for (const QString &value : {QStringLiteral("1"), QString(), QStringLiteral(" 95 \u00fc,@x")}) {
        ASSERT_TRUE(store(QStringLiteral("KelvaneTray"), value));
        EXPECT_EQ(stored(QStringLiteral("KelvaneTray")), value);
    }
    // Where another program (or an earlier installation) looks for it, as a string.
    ASSERT_TRUE(store(QStringLiteral("AutoKelvanePeak"), QStringLiteral("60")));
    wchar_t text[16] = {};
    DWORD bytes = sizeof text;
    DWORD type = REG_NONE;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, path, L"AutoKelvanePeak", RRF_RT_ANY, &type, text, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(text, L"60");
}

TEST_F(RegistryStoreTest, valueOfAnotherTypeReadsAsAbsentAndStays)
{
    const DWORD number = 1;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, path, L"KelvaneTray", REG_DWORD, &number, sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(stored(QStringLiteral("KelvaneTray")), QStringLiteral("<absent>"));
    EXPECT_FALSE(store(QStringLiteral("KelvaneTray"), QStringLiteral("0")));
    DWORD type = REG_NONE;
    DWORD kept = 0;
    DWORD bytes = sizeof kept;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, path, L"KelvaneTray", RRF_RT_ANY, &type, &kept, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(kept, 1u);
    // Nor is anything stored that would not read back as given, or land in another key.
    EXPECT_FALSE(store(QString(), QStringLiteral("1")));
    EXPECT_FALSE(store(QStringLiteral("AutoKelvaneMB"), QStringLiteral("1") + QChar(0) + QStringLiteral("2")));
    EXPECT_FALSE(settings::SaveSetting(QStringLiteral("Copperline"), QStringLiteral("Settings\\Sub"),
                                       QStringLiteral("AutoKelvaneMB"), QStringLiteral("1")));
}

TEST(WindowsInstanceMutex, secondHolderSeesTheFirstUntilItEnds)
{
    const QString name = QStringLiteral("kelvane-test-%1.lock").arg(::GetCurrentProcessId());
    {
        const InstanceLock first(name);
        EXPECT_FALSE(first.anotherInstanceRuns());
        // The mutex is the session's, under the name given.
        const QString local = QStringLiteral("Local\\") + name;
        const HANDLE seen = ::OpenMutexW(SYNCHRONIZE, FALSE, reinterpret_cast<const wchar_t *>(local.utf16()));
        EXPECT_NE(seen, nullptr);
        if (seen)
            ::CloseHandle(seen);
        const InstanceLock second(name);
        EXPECT_TRUE(second.anotherInstanceRuns());
    }
    const InstanceLock again(name);
    EXPECT_FALSE(again.anotherInstanceRuns());
}

TEST(VirtualAllocBlocks, blockIsCommittedWrittenAndFreedOnlyWithRoomToSpare)
{
    constexpr std::uint64_t enough = memory::BlockBytes + memory::VirtualAllocBlockSource::ReserveBytes;
    // commit headroom, available physical, block made
    const std::tuple<std::uint64_t, std::uint64_t, bool> cases[] = {
        {enough, enough, true},
        {enough - 1, 8 * enough, false},
        {8 * enough, enough - 1, false},
    };
    for (const auto &[commit, phys, made] : cases) {
        FakeKernel32 figures;
        figures.ex.dwLength = sizeof figures.ex;
        figures.ex.ullTotalPhys = 8 * enough;
        figures.ex.ullAvailPhys = phys;
        figures.ex.ullAvailPageFile = commit;
        memory::VirtualAllocBlockSource source(figures);
        std::byte *block = source.makeBlock();
        ASSERT_EQ(block != nullptr, made) << commit << " " << phys;
        if (!block)
            continue;
        MEMORY_BASIC_INFORMATION info{};
        ASSERT_NE(::VirtualQuery(block, &info, sizeof info), 0u);
        EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT));
        EXPECT_GE(info.RegionSize, memory::BlockBytes);
        for (const std::size_t at : {std::size_t{0}, memory::BlockBytes / 2, memory::BlockBytes - 2})
            EXPECT_EQ(std::to_integer<int>(block[at]) | std::to_integer<int>(block[at + 1]) << 8, 0x20) << at;
        EXPECT_EQ(source.liveBlocks(), 1);
        source.releaseBlock(block);
        EXPECT_EQ(source.liveBlocks(), 0);
        ASSERT_NE(::VirtualQuery(block, &info, sizeof info), 0u);
        EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
    }
    // Without figures there is no proof of room.
    FakeKernel32 failing;
    failing.extendedSucceeds = false;
    memory::VirtualAllocBlockSource blind(failing);
    EXPECT_EQ(blind.makeBlock(), nullptr);
}

// The older family's call is never made here: every Windows this build runs on is of the NT
// family, whose extended call the record takes.
TEST(WindowsKernel32, extendedCallReadsTheMachineOnlyIntoARecordOfItsOwnSize)
{
    memory::WindowsKernel32 kernel;
    memory::MEMORYSTATUSEX wrong;
    wrong.dwLength = 32;
    EXPECT_FALSE(kernel.GlobalMemoryStatusEx(wrong));
    memory::MEMORYSTATUSEX ex;
    ex.dwLength = sizeof ex;
    ASSERT_TRUE(kernel.GlobalMemoryStatusEx(ex));
    EXPECT_GT(ex.ullTotalPhys, 0u);
    EXPECT_LE(ex.ullAvailPhys, ex.ullTotalPhys);
}

} // namespace
