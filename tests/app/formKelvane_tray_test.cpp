// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, tray mode and shutdown of the main window: what it asks of the tray component and
// when. What the component does with its record is proved on the component.
#include "kelvane_rig.h"
#include "tests/support/popup_menu.h"
#include "tests/support/settings_folder.h"

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

namespace {

// Start-up as main runs it.
void start(KelvaneRig &w)
{
    w.window.Form_Load();
    if (!w.window.startsInTray())
        w.window.show();
}

// The tray icon's notification code, as the shell delivers it.
void notify(KelvaneRig &w, int code) { w.window.raiseMouseMove(0, 0, static_cast<float>(code), 0); }

struct TrayTest : ::testing::Test, SettingsFolder, KelvaneRig
{
    TrayTest() { start(*this); }
    QAction *item(const char *name) const { return control<QAction>(name); }
};

// What the tray component sends the shell for each request is proved on the component.
TEST_F(TrayTest, minimiseShowAndHideFollowTheStateTable)
{
    // Shown -> in tray: icon added with the caption as its tip, window hidden, state normal.
    window.setWindowStateNumber(toolkit::Form::Minimized);
    EXPECT_TRUE(inTray());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.windowStateNumber(), toolkit::Form::Normal);
    EXPECT_EQ(window.trayIcon()->Tooltip(), window.windowTitle());

    // Only the left button's release (514) brings the window back and removes the icon.
    notify(*this, 513);
    EXPECT_FALSE(window.isVisible());
    notify(*this, 514);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(inTray());

    // "Show" while shown goes back to the tray; the refresh then keeps the tip current.
    window.mnuShow_Click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(inTray());
    window.RefreshStatus();
    EXPECT_EQ(window.trayIcon()->Tooltip(), QStringLiteral("768.0MB Kelvane v1.0\nUsage: 62.5%"));

    // Shown again behind the tray's back: minimising is refused by the tray, but still hides.
    window.show();
    window.setWindowStateNumber(toolkit::Form::Minimized);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(inTray());
}

TEST_F(TrayTest, onlyTheRightButtonPopsTheMenuAndItsCommandsWorkUpToExit)
{
    window.ShowTray();
    // Codes left to the tray component, and ordinary moves (at most 311 pixels), do nothing.
    for (int code : {512, 513, 515, 516, 518, 519, 520, 1029, 0, 311}) {
        EXPECT_EQ(popupThen([&] { notify(*this, code); }), QString()) << code;
        EXPECT_FALSE(window.isVisible()) << code;
    }
    const auto rightClick = [&] { notify(*this, 517); };
    EXPECT_EQ(popupThen(rightClick),
              QStringLiteral("*&Show Kelvane|-|Auto Kelvane Setup|[x]Auto Kelvane|-|E&xit"));
    popupThen(rightClick, QStringLiteral("Auto Kelvane"));
    EXPECT_FALSE(item("mnuAutoFree")->isChecked());
    window.mnuAutoFree_Click();
    EXPECT_TRUE(item("mnuAutoFree")->isChecked());
    popupThen(rightClick, QStringLiteral("&Show Kelvane"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(inTray());
    QTest::mouseMove(&window, QPoint(311, 50)); // a real move over the shown window
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // Exit from the tray stores the normal state, removes the icon and unloads once.
    window.ShowTray();
    QSignalSpy unloaded(&window, &formKelvane::Unloaded);
    popupThen(rightClick, QStringLiteral("E&xit"));
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(inTray());
    EXPECT_EQ(stored(QStringLiteral("KelvaneTray")), QStringLiteral("0"));
    window.close(); // a late second close (a signal, say) does the work once only
    EXPECT_EQ(unloaded.count(), 1);
}

TEST(StartUp, trayStartMatrix)
{
    // Command line, KelvaneTray as stored (empty: absent), in the tray.
    const std::tuple<const char *, std::optional<QString>, bool> cases[] = {
        {"", std::nullopt, false},        {"/tray", QStringLiteral("0"), true},
        {"-q /Tray", std::nullopt, true}, {"tray", std::nullopt, false},
        {"", QStringLiteral("1"), true},  {"", QStringLiteral("1abc"), true},
        {"", QStringLiteral("2"), false},
    };
    for (const auto &[commandLine, trayValue, inTray] : cases) {
        SCOPED_TRACE(std::string("command line '") + commandLine + "', KelvaneTray "
                     + (trayValue ? trayValue->toStdString() : "absent"));
        SettingsFolder folder;
        if (trayValue) {
            ASSERT_TRUE(folder.store(QStringLiteral("KelvaneTray"), *trayValue));
        }
        KelvaneRig w(QString::fromLatin1(commandLine));
        start(w);
        EXPECT_EQ(w.inTray(), inTray);
        EXPECT_EQ(w.window.isVisible(), !inTray);
        EXPECT_EQ(w.window.windowStateNumber(), toolkit::Form::Normal);
    }
    // Restored from the tray the window stands in the middle of the screen: openbox_test.sh,
    // under a real window manager.
}

TEST(StartUp, withoutANotificationAreaTheWindowNeverHides)
{
    SettingsFolder folder;
    KelvaneRig w(QStringLiteral("/tray"));
    w.shell.trayAvailable = false;
    start(w);
    EXPECT_TRUE(w.window.isVisible());
    w.window.mnuShow_Click();
    w.window.setWindowStateNumber(toolkit::Form::Minimized);
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_FALSE(w.inTray());
    const auto messages = w.shell.messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), toolkit::NIM_ADD), 0);
}

TEST(StartUp, thresholdsFromTheStoreAndTheSliderAtItsMaximum)
{
    // AutoKelvanePeak and AutoKelvaneMB as stored (empty: absent), and as loaded.
    const std::tuple<std::optional<QString>, std::optional<QString>, std::int32_t, std::int32_t> cases[] = {
        {std::nullopt, std::nullopt, 95, 10}, // first run
        {QStringLiteral("abc"), QStringLiteral("10"), 0, 10},
        {QStringLiteral("120"), QStringLiteral("2000"), 120, 2000},
        {QStringLiteral("94.5"), QStringLiteral("95.5"), 94, 96},
    };
    for (const auto &[peak, megabytes, expectedPeak, expectedMegabytes] : cases) {
        SCOPED_TRACE(peak.value_or(QStringLiteral("<absent>")).toStdString());
        SettingsFolder folder;
        for (const auto &[key, value] : {std::pair{"AutoKelvanePeak", peak}, {"AutoKelvaneMB", megabytes}}) {
            if (value) {
                ASSERT_TRUE(folder.store(QString::fromLatin1(key), *value));
            }
        }
        KelvaneRig w;
        w.kernel.setPhysMB(2048, 1900); // nothing near any of these peaks
        start(w);
        EXPECT_EQ(w.window.AutoKelvanePeak, expectedPeak);
        EXPECT_EQ(w.window.AutoKelvaneMB, expectedMegabytes);
        EXPECT_EQ(w.slider()->value(), 1098); // 2048 - 1900 / 2
        EXPECT_EQ(folder.stored(QStringLiteral("AutoKelvanePeak")), peak.value_or(QStringLiteral("<absent>")));
    }
}

} // namespace
