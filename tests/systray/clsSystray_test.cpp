// SPDX-License-Identifier: GPL-3.0-or-later
#include "systray_fixture.h"
#include "toolkit/notifyshell_qt.h"

#include <climits>
#include <functional>
#include <tuple>

using namespace systray_test;
using namespace toolkit;

namespace {

TEST_F(SystrayTest, newComponentSendsTheBareRecordOnlyWhenRefreshed)
{
    EXPECT_TRUE(shell.calls.empty());
    tray->RefreshIcon();
    ASSERT_EQ(shell.messages(), std::vector<std::uint32_t>{NIM_MODIFY});
    const Call &c = last();
    EXPECT_EQ(u32(c, nid::cbSize), 936u);
    EXPECT_EQ(u32(c, nid::uCallbackMessage), 512u);
    EXPECT_EQ(u32(c, nid::uFlags), 7u);
    for (std::size_t field : {nid::hWnd, nid::uID, nid::hIcon, nid::dwState, nid::dwStateMask, nid::uTimeout})
        EXPECT_EQ(u32(c, field), 0u) << field;
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("Success :-)"));
}

TEST_F(SystrayTest, addIconToTrayRefusesInOrderAndSendsNothing)
{
    EXPECT_EQ(tray->AddIconToTray(0, QStringLiteral("tip"), true), -2); // no owner outranks no icon
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("Try-Icon has no Parent Form."));
    ASSERT_EQ(tray->SetOwner(&owner), 0);
    EXPECT_EQ(tray->AddIconToTray(0, QStringLiteral("tip"), true), -3);
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("You must suppy an Icon."));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_FALSE(tray->IsIconInTray());

    ASSERT_EQ(tray->AddIconToTray(hIcon, QStringLiteral("first"), false), 0);
    shell.clear();
    EXPECT_EQ(tray->AddIconToTray(0, QStringLiteral("second"), true), -3); // no icon outranks in tray
    EXPECT_EQ(tray->AddIconToTray(hIcon, QStringLiteral("second"), true), -9);
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("Tray-Icon was already loaded."));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(tray->Tooltip(), QStringLiteral("first"));
    EXPECT_FALSE(tray->Enabled());
}

TEST(SystrayOwnerShapes, addIconToTrayWarnsPerShapeAndAddsTheIconAnyway)
{
    const struct
    {
        Shape shape;
        std::int32_t result;
        const char *text;
    } cases[] = {
        {Shape::NoMenu, 4, "No suitable Menu found."},
        {Shape::VisibleMenu, 5, "Menu is suitable but not hidden."},
        {Shape::HiddenMenu, 6, "No default Menu Item found; bold font was not applied."},
        {Shape::HiddenMenuWithDefault, 0, "Success :-)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.result);
        RecordingNotifyShell shell;
        Owner owner(c.shape);
        clsSystray tray(&shell);
        ASSERT_EQ(tray.SetOwner(&owner), 0);
        EXPECT_EQ(tray.AddIconToTray(owner.iconHandle(), QStringLiteral("Kelvane"), true), c.result);
        EXPECT_EQ(tray.LastErrorText(), QString::fromLatin1(c.text));
        EXPECT_TRUE(tray.IsIconInTray());
        ASSERT_EQ(shell.messages(), (std::vector<std::uint32_t>{NIM_ADD, NIM_SETVERSION, NIM_MODIFY, NIM_MODIFY}));
        const Call &add = shell.calls[0];
        EXPECT_EQ(u32(add, nid::hWnd), owner.hWnd());
        EXPECT_EQ(u32(add, nid::hIcon), owner.iconHandle());
        EXPECT_EQ(u32(add, nid::uFlags), 0u);
        EXPECT_EQ(u32(shell.calls[1], nid::uVersion), 3u);
        EXPECT_EQ(u32(shell.calls[3], nid::uFlags), 7u);
        EXPECT_EQ(text(shell.calls[3], nid::szTip, nid::szTipUnits), QStringLiteral("Kelvane"));
    }
}

TEST(SystrayOwnerShapes, blankTooltipAddsTheIconAndReportsMinus11UnlessAMenuWarningCame)
{
    for (const auto &[shape, result] : {std::pair{Shape::HiddenMenuWithDefault, -11}, std::pair{Shape::NoMenu, 4}}) {
        RecordingNotifyShell shell;
        Owner owner(shape);
        clsSystray tray(&shell);
        tray.SetOwner(&owner);
        EXPECT_EQ(tray.AddIconToTray(owner.iconHandle(), QStringLiteral("   "), true), result);
        EXPECT_EQ(tray.LastErrorNumber(), result);
        EXPECT_TRUE(tray.IsIconInTray());
        // The refused tip refreshes nothing; the final refresh still goes out.
        EXPECT_EQ(shell.messages(), (std::vector<std::uint32_t>{NIM_ADD, NIM_SETVERSION, NIM_MODIFY}));
        EXPECT_EQ(tray.Tooltip(), QString());
    }
}

TEST_F(SystrayTest, uFlagsSentWithAddFollowEarlierRefreshesAndBalloons)
{
    ASSERT_EQ(tray->SetOwner(&owner), 0);
    std::vector<std::uint32_t> addFlags;
    const auto cycle = [&] {
        shell.clear();
        ASSERT_EQ(tray->AddIconToTray(hIcon, QStringLiteral("tip"), true), 0);
        addFlags.push_back(u32(shell.calls.front(), nid::uFlags));
    };
    cycle();
    EXPECT_EQ(u32(last(), nid::uFlags), 7u);
    ASSERT_EQ(tray->ShowBalloon(QStringLiteral("m"), {}, 1, 0), 0);
    EXPECT_EQ(u32(last(), nid::uFlags), 23u);
    ASSERT_EQ(tray->RemoveIconFromTray(), 0);
    cycle();
    EXPECT_EQ(addFlags, (std::vector<std::uint32_t>{0, 23}));
}

TEST_F(SystrayTest, versionThreeStaysUntilABalloonWithTextSetsItsTimeOut)
{
    addIcon();
    tray->Tooltip(QStringLiteral("x"));
    EXPECT_EQ(u32(last(), nid::uTimeout), 3u);
    ASSERT_EQ(tray->ShowBalloon({}, QStringLiteral("ignored"), 1, 9000), 0); // withdrawal: no time-out
    EXPECT_EQ(u32(last(), nid::uTimeout), 3u);
    ASSERT_EQ(tray->ShowBalloon(QStringLiteral("m"), {}, 1, 5000), 0);
    EXPECT_EQ(u32(last(), nid::uTimeout), 5000u);
    ASSERT_EQ(tray->HideBalloon(), 0);
    EXPECT_EQ(u32(last(), nid::uTimeout), 5000u);
}

TEST_F(SystrayTest, textFieldsAreTruncatedWithTerminatorAndKeepOlderUnitsBehindIt)
{
    addIcon();
    const struct
    {
        std::size_t offset, units;
        std::function<void(const QString &)> set;
    } fields[] = {
        {nid::szTip, nid::szTipUnits, [&](const QString &t) { tray->Tooltip(t); }},
        {nid::szInfo, nid::szInfoUnits, [&](const QString &t) { tray->ShowBalloon(t, QStringLiteral("T"), 0, 0); }},
        {nid::szInfoTitle, nid::szInfoTitleUnits, [&](const QString &t) { tray->ShowBalloon(QStringLiteral("M"), t, 0, 0); }},
    };
    for (const auto &f : fields) {
        SCOPED_TRACE(f.offset);
        QString longText;
        for (std::size_t i = 0; i < f.units + 50; ++i)
            longText.append(QChar(u'a' + static_cast<char16_t>(i % 26)));
        f.set(longText);
        EXPECT_EQ(text(last(), f.offset, f.units), longText.left(static_cast<qsizetype>(f.units - 1)));
        EXPECT_EQ(readUnit(last().record, f.offset, f.units - 1), 0);

        f.set(QStringLiteral("Ω1")); // UTF-16LE: A9 03 31 00 00 00, then the old text
        const std::uint8_t *p = last().record.data() + f.offset;
        EXPECT_EQ(std::vector<std::uint8_t>(p, p + 8), (std::vector<std::uint8_t>{0xA9, 0x03, 0x31, 0, 0, 0, 'd', 0}));
    }
    EXPECT_EQ(tray->Tooltip().size(), 2); // the short text replaced the long one in full
}

TEST_F(SystrayTest, tooltipKeepsTheWholeTextAndRefusesBlankOnes)
{
    const QString longTip(200, QChar(u'x'));
    tray->Tooltip(longTip); // before any owner: accepted, sent
    EXPECT_EQ(tray->Tooltip(), longTip);
    EXPECT_EQ(text(last(), nid::szTip, nid::szTipUnits).size(), 127);
    shell.clear();
    for (const QString &blank : {QString(), QStringLiteral("    ")}) {
        tray->Tooltip(blank);
        EXPECT_EQ(tray->LastErrorNumber(), -11);
        EXPECT_EQ(tray->LastErrorText(), QStringLiteral("Balloon Text was missing."));
    }
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(tray->Tooltip(), longTip);
    tray->Tooltip(QStringLiteral("  padded  "));
    EXPECT_EQ(tray->Tooltip(), QStringLiteral("  padded  "));
    EXPECT_EQ(tray->LastErrorNumber(), 0);
}

TEST_F(SystrayTest, balloonStylesAreAcceptedExactlyAsTheShellKnowsThem)
{
    addIcon();
    for (std::int32_t style : {0, 1, 2, 3, 16, 17, 18, 19}) {
        EXPECT_EQ(tray->ShowBalloon(QStringLiteral("m"), QStringLiteral("t"), style, 100), 0) << style;
        EXPECT_EQ(u32(last(), nid::dwInfoFlags), static_cast<std::uint32_t>(style));
    }
    shell.clear();
    for (std::int32_t style : {4, 15, 20, 32, -1, -16, INT_MIN}) {
        EXPECT_EQ(tray->ShowBalloon(QStringLiteral("m"), QStringLiteral("t"), style, 100), -10) << style;
        EXPECT_EQ(tray->ShowBalloon({}, {}, style, 100), -10) << style; // before the withdrawal
    }
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("Balloon Icon identifier illegal."));
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(SystrayTest, emptyMessageOrHideBalloonClearsOnlyTheFirstUnitsAndTheFlags)
{
    addIcon();
    const std::function<std::int32_t()> withdrawals[] = {
        [&] { return tray->ShowBalloon({}, QStringLiteral("T"), 17, 1); },
        [&] { return tray->HideBalloon(); },
        [&] {
            tray->Enabled(false);
            return tray->LastErrorNumber();
        },
    };
    for (const auto &withdraw : withdrawals) {
        tray->Enabled(true);
        ASSERT_EQ(tray->ShowBalloon(QStringLiteral("Hello"), QStringLiteral("Title"), 2, 0), 0);
        shell.clear();
        EXPECT_EQ(withdraw(), 0);
        ASSERT_EQ(shell.messages(), std::vector<std::uint32_t>{NIM_MODIFY});
        EXPECT_EQ(u32(last(), nid::uFlags), 23u);
        EXPECT_EQ(u32(last(), nid::dwInfoFlags), 0u);
        EXPECT_EQ(text(last(), nid::szInfo, nid::szInfoUnits), QString());
        EXPECT_EQ(text(last(), nid::szInfoTitle, nid::szInfoTitleUnits), QString());
        EXPECT_EQ(readUnit(last().record, nid::szInfo, 1), u'e');
    }
    EXPECT_FALSE(tray->Enabled());
}

TEST_F(SystrayTest, balloonTextTravelsAgainWithEveryLaterRefresh)
{
    addIcon();
    ASSERT_EQ(tray->ShowBalloon(QStringLiteral("Hello"), {}, 1, 0), 0);
    tray->Tooltip(QStringLiteral("new tip"));
    EXPECT_EQ(u32(last(), nid::uFlags), 23u);
    EXPECT_EQ(text(last(), nid::szInfo, nid::szInfoUnits), QStringLiteral("Hello"));
}

TEST_F(SystrayTest, notInTrayOrDisabledRefusesBalloonsAndRemoval)
{
    for (const std::int32_t result : {tray->ShowBalloon(QStringLiteral("m"), {}, 0, 0), tray->HideBalloon(),
                                      tray->RemoveIconFromTray()})
        EXPECT_EQ(result, -7);
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("No Tray-Icon was loaded."));
    tray->Enabled(false); // not in the tray: nothing to withdraw, nothing sent
    EXPECT_EQ(tray->LastErrorNumber(), 0);
    EXPECT_TRUE(shell.calls.empty());

    addIcon(false);
    for (const std::int32_t result : {tray->ShowBalloon(QStringLiteral("m"), {}, 0, 0), tray->HideBalloon(),
                                      tray->RemoveIconFromTray()})
        EXPECT_EQ(result, -8);
    EXPECT_EQ(tray->LastErrorText(), QStringLiteral("The Tray-Icon is disabled."));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(tray->IsIconInTray());

    tray->Enabled(true);
    EXPECT_EQ(tray->RemoveIconFromTray(), 0);
    EXPECT_EQ(shell.messages(), std::vector<std::uint32_t>{NIM_DELETE});
    EXPECT_FALSE(tray->IsIconInTray());
}

TEST(SystrayDestruction, removesTheIconOnlyWhenInTrayAndEnabled)
{
    for (const auto &[add, enable, deleted] : {std::tuple{true, true, true}, std::tuple{true, false, false},
                                                std::tuple{false, true, false}}) {
        RecordingNotifyShell shell;
        Owner owner(Shape::NoMenu);
        {
            clsSystray tray(&shell);
            tray.SetOwner(&owner);
            if (add)
                tray.AddIconToTray(owner.iconHandle(), QStringLiteral("tip"), enable);
            tray.Enabled(enable);
            shell.clear();
        }
        EXPECT_EQ(shell.messages() == std::vector<std::uint32_t>{NIM_DELETE}, deleted) << add << enable;
        if (!deleted) {
            EXPECT_TRUE(shell.calls.empty());
        }
    }
}

TEST_F(SystrayTest, setOwnerRefusesNonFormsAndKeepsThePreviousOwner)
{
    ASSERT_EQ(tray->SetOwner(&owner), 0);
    QObject plain;
    QWidget widget;
    for (QObject *notAForm : {&plain, static_cast<QObject *>(&widget), static_cast<QObject *>(nullptr)}) {
        EXPECT_EQ(tray->SetOwner(notAForm), -1);
        EXPECT_EQ(tray->LastErrorText(), QStringLiteral("This is not a Form."));
    }
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(tray->AddIconToTray(hIcon, QStringLiteral("tip"), true), 0);
    EXPECT_EQ(u32(shell.calls.front(), nid::hWnd), owner.hWnd());
}

TEST_F(SystrayTest, iconSetAcceptsAnyHandleAndRefreshes)
{
    tray->Icon(0);
    EXPECT_EQ(tray->LastErrorNumber(), 0);
    EXPECT_EQ(u32(last(), nid::uFlags), 7u);
    tray->Icon(0xCAFE);
    EXPECT_EQ(u32(last(), nid::hIcon), 0xCAFEu);
    EXPECT_EQ(shell.calls.size(), 2u);
}

// The texts of the recorded numbers are checked where each number arises.
TEST(SystrayOutcomes, numbersNoOperationRecordsHaveNoText)
{
    for (std::int32_t n : {-12, -6, -5, -4, 1, 2, 3, 7, INT_MAX, INT_MIN})
        EXPECT_EQ(clsSystray::outcomeText(n), QString()) << n;
}

TEST(SystrayOnTheProgramsShell, keepsTheIconWithoutANotificationArea)
{
    Owner owner(Shape::HiddenMenuWithDefault);
    auto *shell = dynamic_cast<QtNotifyShell *>(&defaultNotifyShell());
    ASSERT_NE(shell, nullptr);
    {
        clsSystray tray; // offscreen: no tray to show anything in
        tray.SetOwner(&owner);
        EXPECT_EQ(tray.AddIconToTray(owner.iconHandle(), QStringLiteral("Kelvane"), true), 0);
        EXPECT_EQ(tray.ShowBalloon(QStringLiteral("Freed"), {}, 1, 0), 0);
        const QtNotifyShell::Icon *icon = shell->find(owner.hWnd(), 0);
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->tray->toolTip(), QStringLiteral("Kelvane"));
        EXPECT_FALSE(icon->tray->isVisible());
        EXPECT_EQ(icon->balloon->text, QStringLiteral("Freed"));
    }
    EXPECT_EQ(shell->find(owner.hWnd(), 0), nullptr); // removed with the component
}

} // namespace
