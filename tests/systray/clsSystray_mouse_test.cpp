// SPDX-License-Identifier: GPL-3.0-or-later
#include "systray_fixture.h"
#include "tests/support/popup_menu.h"
#include "toolkit/twips.h"

#include <QApplication>
#include <QMouseEvent>

#include <cmath>

using namespace systray_test;

namespace {

// Writes every signal of the component into `log`, "MouseUp 2" or "BalloonShow".
void logSignals(clsSystray &tray, QStringList &log)
{
    const std::pair<const char *, void (clsSystray::*)(short &)> withButton[] = {
        {"MouseMove", &clsSystray::MouseMove}, {"DoubleClick", &clsSystray::DoubleClick},
        {"MouseDown", &clsSystray::MouseDown}, {"MouseUp", &clsSystray::MouseUp}};
    for (const auto &[name, signal] : withButton)
        QObject::connect(&tray, signal,
                         [&log, name](short &b) { log << QStringLiteral("%1 %2").arg(name).arg(b); });
    const std::pair<const char *, void (clsSystray::*)()> plain[] = {
        {"BalloonShow", &clsSystray::BalloonShow}, {"BalloonHide", &clsSystray::BalloonHide},
        {"BalloonTimeout", &clsSystray::BalloonTimeout}, {"BalloonClicked", &clsSystray::BalloonClicked}};
    for (const auto &[name, signal] : plain)
        QObject::connect(&tray, signal, [&log, name] { log << QLatin1String(name); });
}

struct MouseTest : SystrayTest
{
    MouseTest()
    {
        EXPECT_EQ(tray->SetOwner(&owner), 0);
        tray->Enabled(true);
        logSignals(*tray, log);
    }
    QStringList log;
};

TEST_F(MouseTest, notificationCodesDecodeToEventsInTheShellsTableAndToNothingWhileDisabled)
{
    owner.mnuTray->menuAction()->setVisible(true); // no popup after 517
    const std::pair<double, const char *> cases[] = {
        {512, "MouseMove 7"}, {513, "MouseDown 1"}, {514, "MouseUp 1"}, {515, "DoubleClick 1"},
        {516, "MouseDown 2"}, {517, "MouseUp 2"}, {518, "DoubleClick 2"}, {1026, "BalloonShow"},
        {1027, "BalloonHide"}, {1028, "BalloonTimeout"}, {1029, "BalloonClicked"},
        {519, ""}, {1025, ""}, {1030, ""}, {-513, ""}, {512.5, ""}, {std::nan(""), ""},
    };
    for (const auto &[pixels, event] : cases) {
        log.clear();
        EXPECT_EQ(popupThen([&, code = pixels] { owner.raiseMouseMove(7, 0, code, 0); }), QString()) << pixels;
        EXPECT_EQ(log, *event ? QStringList{QLatin1String(event)} : QStringList()) << pixels;
    }

    // An ordinary movement of the mouse over the owner is no different.
    log.clear();
    QMouseEvent move(QEvent::MouseMove, QPointF(512, 3), QPointF(512, 3), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&owner, &move);
    EXPECT_EQ(log, QStringList{QStringLiteral("MouseMove 0")});

    // Disabled: no event, and no popup even from a hidden menu.
    owner.mnuTray->menuAction()->setVisible(false);
    tray->Enabled(false);
    log.clear();
    EXPECT_EQ(popupThen([&] {
        for (double code : {512, 513, 514, 515, 517, 1029})
            owner.raiseMouseMove(1, 0, code, 0);
    }), QString());
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char(',')).toStdString();
}

// A handler may change the button: MouseMove hands on the owner's, the others a fresh value.
TEST_F(MouseTest, buttonIsTheOwnersForMouseMoveAndAFreshValueOtherwise)
{
    ASSERT_EQ(twipsPerPixelX(), 15.0); // the owner reports in twips
    for (auto signal : {&clsSystray::MouseMove, &clsSystray::MouseDown})
        QObject::connect(tray.get(), signal, [](short &b) { b = 9; });
    short button = 2;
    emit owner.MouseMove(button, 0, 512.0f * 15.0f, 0);
    EXPECT_EQ(button, 9);
    button = 2;
    emit owner.MouseMove(button, 0, 513.0f * 15.0f, 0);
    emit owner.MouseMove(button, 0, 513.0f * 15.0f, 0);
    EXPECT_EQ(button, 2);
    EXPECT_EQ(log.mid(1), (QStringList{QStringLiteral("MouseDown 1"), QStringLiteral("MouseDown 1")}));
}

TEST(SystrayPopup, rightButtonUpPopsUpOnlyAHiddenTrayMenuWithItsDefaultInBold)
{
    // Owner, what the popup shows ("*": its default item, which the menu draws in bold;
    // Form::popupMenu puts the menu's own default back afterwards, as form_menu_test shows).
    const std::pair<Shape, const char *> cases[] = {{Shape::NoMenu, ""},
                                                    {Shape::VisibleMenu, ""},
                                                    {Shape::HiddenMenu, "&Open|E&xit"},
                                                    {Shape::HiddenMenuWithDefault, "*&Open|E&xit"}};
    for (const auto &[shape, shown] : cases) {
        SCOPED_TRACE(static_cast<int>(shape));
        Rig r(shape);
        r.tray->SetOwner(&r.owner);
        r.tray->Enabled(true);
        QStringList log;
        logSignals(*r.tray, log);
        EXPECT_EQ(popupThen([&] {
            r.owner.raiseMouseMove(0, 0, 514, 0); // left up: never a menu
            r.owner.raiseMouseMove(0, 0, 517, 0);
        }), QLatin1String(shown));
        EXPECT_EQ(log.join(u','), QStringLiteral("MouseUp 1,MouseUp 2"));
    }
}

} // namespace
