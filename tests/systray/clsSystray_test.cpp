// SPDX-License-Identifier: GPL-3.0-or-later
#include "systray_fixture.h"

#include <climits>
#include <functional>
#include <tuple>

using namespace systray_test;

namespace {

QString text(const char *latin1) { return QString::fromLatin1(latin1); }

TEST_F(SystrayTest, unboundComponentSendsTheBareRecordOnlyWhenRefreshedAndTakesAnyIcon)
{
    tray->RefreshIcon();
    ASSERT_EQ(shell.messages(), Messages{NIM_MODIFY});
    EXPECT_EQ(last(nid::hWnd), 0u);
    tray->Icon(0xCAFE); // any handle, sent at once
    EXPECT_EQ(last(nid::hIcon), 0xCAFEu);
}

TEST_F(SystrayTest, setOwnerTakesOnlyFormsAndAddIconToTrayRefusesInOrderSendingNothing)
{
    QObject plain;
    QWidget widget;
    for (QObject *notAForm : {&plain, static_cast<QObject *>(&widget), static_cast<QObject *>(nullptr)}) {
        EXPECT_EQ(tray->SetOwner(notAForm), -1);
    }
    EXPECT_EQ(tray->AddIconToTray(0, text("tip"), true), -2); // no owner outranks no icon
    ASSERT_EQ(tray->SetOwner(&owner), 0);
    EXPECT_EQ(tray->SetOwner(&widget), -1); // the owner stays
    EXPECT_EQ(tray->AddIconToTray(0, text("tip"), true), -3);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_FALSE(tray->IsIconInTray());

    ASSERT_EQ(tray->AddIconToTray(hIcon, text("first"), false), 0);
    EXPECT_EQ(readU32(shell.calls.front().record, nid::hWnd), owner.hWnd());
    shell.clear();
    EXPECT_EQ(tray->AddIconToTray(0, text("second"), true), -3); // no icon outranks in tray
    EXPECT_EQ(tray->AddIconToTray(hIcon, text("second"), true), -9);
    EXPECT_EQ(tray->LastErrorText(), text("Tray-Icon was already loaded.")); // the text of the last number
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(tray->Tooltip(), text("first"));
    EXPECT_FALSE(tray->Enabled());
}

TEST(SystrayOwnerShapes, addIconToTrayWarnsPerShapeOrBlankTipAndAddsTheIconAnyway)
{
    // A menu warning says more than a refused tip.
    const std::tuple<Shape, const char *, std::int32_t> cases[] = {
        {Shape::NoMenu, "Kelvane", 4}, {Shape::VisibleMenu, "Kelvane", 5}, {Shape::HiddenMenu, "Kelvane", 6},
        {Shape::NoMenu, "   ", 4},     {Shape::HiddenMenuWithDefault, "Kelvane", 0},
        {Shape::HiddenMenuWithDefault, "   ", -11}};
    for (const auto &[shape, tip, result] : cases) {
        SCOPED_TRACE(result);
        Rig r(shape);
        ASSERT_EQ(r.tray->SetOwner(&r.owner), 0);
        EXPECT_EQ(r.tray->AddIconToTray(r.hIcon, text(tip), true), result);
        EXPECT_TRUE(r.tray->IsIconInTray());
        // A refused tip refreshes nothing; the final refresh goes out either way.
        const bool blank = *tip == ' ';
        Messages sent{NIM_ADD, NIM_SETVERSION, NIM_MODIFY, NIM_MODIFY};
        sent.resize(blank ? 3 : 4);
        ASSERT_EQ(r.shell.messages(), sent);
        EXPECT_EQ(readU32(r.shell.calls[0].record, nid::hIcon), r.hIcon);
        EXPECT_EQ(r.lastText(nid::szTip, nid::szTipUnits), blank ? QString() : text(tip));
    }
}

// uFlags 0 with the first add, 7 from every refresh, 16 with a balloon (23 with the
// refresh), and the add after a removal sends what the record last held; uVersion 3 shares
// its place with the time-out until a balloon with a text sets one.
TEST_F(SystrayTest, flagsAndTimeOutFollowTheRecordsHistory)
{
    ASSERT_EQ(tray->SetOwner(&owner), 0);
    std::vector<std::uint32_t> addFlags;
    const auto add = [&] {
        shell.clear();
        ASSERT_EQ(tray->AddIconToTray(hIcon, text("tip"), true), 0);
        addFlags.push_back(readU32(shell.calls.front().record, nid::uFlags));
    };
    add();
    EXPECT_EQ(last(nid::uFlags), 7u);
    EXPECT_EQ(last(nid::uTimeout), 3u);
    ASSERT_EQ(tray->ShowBalloon(text("Hello"), {}, 1, 5000), 0);
    EXPECT_EQ(last(nid::uTimeout), 5000u);
    tray->Tooltip(text("new tip")); // the balloon travels with every later refresh
    EXPECT_EQ(last(nid::uFlags), 23u);
    EXPECT_EQ(lastText(nid::szInfo, nid::szInfoUnits), text("Hello"));
    ASSERT_EQ(tray->RemoveIconFromTray(), 0);
    add();
    EXPECT_EQ(addFlags, (std::vector<std::uint32_t>{0, 23}));
}

TEST_F(SystrayTest, textFieldsAreTruncatedWithTerminatorAndKeepOlderUnitsBehindIt)
{
    addIcon();
    const std::tuple<std::size_t, std::size_t, std::function<void(const QString &)>> fields[] = {
        {nid::szTip, nid::szTipUnits, [&](const QString &t) { tray->Tooltip(t); }},
        {nid::szInfo, nid::szInfoUnits, [&](const QString &t) { tray->ShowBalloon(t, text("T"), 0, 0); }},
        {nid::szInfoTitle, nid::szInfoTitleUnits, [&](const QString &t) { tray->ShowBalloon(text("M"), t, 0, 0); }},
    };
    for (const auto &[offset, units, set] : fields) {
        SCOPED_TRACE(offset);
        const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
        const QString longText = alphabet.repeated(12).left(static_cast<qsizetype>(units) + 50);
        set(longText);
        EXPECT_EQ(lastText(offset, units), longText.left(static_cast<qsizetype>(units - 1)));
        EXPECT_EQ(readUnit(shell.calls.back().record, offset, units - 1), 0);

        set(QStringLiteral("Ω1")); // UTF-16LE: A9 03 31 00 00 00, then the old text
        const std::uint8_t *p = shell.calls.back().record.data() + offset;
        EXPECT_EQ(std::vector<std::uint8_t>(p, p + 8), (std::vector<std::uint8_t>{0xA9, 0x03, 0x31, 0, 0, 0, 'd', 0}));
    }
    // The component keeps the whole text it last accepted, blanks too.
    const QString longTip = QString(200, QChar(u'x')) + u' ';
    tray->Tooltip(longTip);
    tray->Tooltip(text("    ")); // refused, and sends nothing (SystrayOwnerShapes)
    EXPECT_EQ(tray->Tooltip(), longTip);
}

TEST_F(SystrayTest, balloonStylesAreAcceptedExactlyAsTheShellKnowsThem)
{
    addIcon();
    for (std::int32_t style : {0, 1, 2, 3, 16, 17, 18, 19}) {
        EXPECT_EQ(tray->ShowBalloon(text("m"), text("t"), style, 100), 0) << style;
        EXPECT_EQ(last(nid::dwInfoFlags), static_cast<std::uint32_t>(style));
    }
    shell.clear();
    for (std::int32_t style : {4, 15, 20, -1, INT_MIN}) {
        EXPECT_EQ(tray->ShowBalloon(text("m"), text("t"), style, 100), -10) << style;
        EXPECT_EQ(tray->ShowBalloon({}, {}, style, 100), -10) << style; // before the withdrawal
    }
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(SystrayTest, emptyMessageHideBalloonOrDisablingClearsOnlyTheFirstUnitsAndTheFlags)
{
    addIcon();
    const std::function<void()> withdrawals[] = {
        [&] { tray->ShowBalloon({}, text("T"), 17, 1); },
        [&] { tray->HideBalloon(); },
        [&] { tray->Enabled(false); },
    };
    for (const auto &withdraw : withdrawals) {
        tray->Enabled(true);
        ASSERT_EQ(tray->ShowBalloon(text("Hello"), text("Title"), 2, 7), 0);
        shell.clear();
        withdraw();
        EXPECT_EQ(tray->LastErrorNumber(), 0);
        ASSERT_EQ(shell.messages(), Messages{NIM_MODIFY});
        EXPECT_EQ(last(nid::uFlags), 23u);
        EXPECT_EQ(last(nid::uTimeout), 7u); // the shown balloon's, not the 1 of the first withdrawal
        EXPECT_EQ(last(nid::dwInfoFlags), 0u);
        EXPECT_EQ(lastText(nid::szInfo, nid::szInfoUnits), QString());
        EXPECT_EQ(lastText(nid::szInfoTitle, nid::szInfoTitleUnits), QString());
        EXPECT_EQ(readUnit(shell.calls.back().record, nid::szInfo, 1), u'e');
    }
    EXPECT_FALSE(tray->Enabled());
}

TEST_F(SystrayTest, notInTrayOrDisabledRefusesBalloonsAndRemoval)
{
    const auto refusals = [&] {
        return std::vector{tray->ShowBalloon(text("m"), {}, 0, 0), tray->HideBalloon(),
                           tray->RemoveIconFromTray()};
    };
    EXPECT_EQ(refusals(), (std::vector{-7, -7, -7}));
    tray->Enabled(false); // not in the tray: nothing to withdraw, nothing sent
    EXPECT_EQ(tray->LastErrorNumber(), 0);
    EXPECT_TRUE(shell.calls.empty());

    addIcon(false);
    EXPECT_EQ(refusals(), (std::vector{-8, -8, -8}));
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_TRUE(tray->IsIconInTray());

    tray->Enabled(true);
    EXPECT_EQ(tray->RemoveIconFromTray(), 0);
    EXPECT_EQ(shell.messages(), Messages{NIM_DELETE});
    EXPECT_FALSE(tray->IsIconInTray());
}

TEST(SystrayDestruction, removesTheIconOnlyWhenInTrayAndEnabled)
{
    // Added, enabled, sent on destruction.
    const std::tuple<bool, bool, Messages> cases[] = {
        {true, true, Messages{NIM_DELETE}}, {true, false, {}}, {false, true, {}}};
    for (const auto &[add, enable, sent] : cases) {
        Rig r(Shape::NoMenu);
        r.tray->SetOwner(&r.owner);
        if (add)
            r.tray->AddIconToTray(r.hIcon, text("tip"), enable);
        r.tray->Enabled(enable);
        r.shell.clear();
        r.tray.reset();
        EXPECT_EQ(r.shell.messages(), sent) << add << enable;
    }
}

} // namespace
