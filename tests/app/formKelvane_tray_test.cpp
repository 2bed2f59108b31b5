// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, tray mode and shutdown of the main window, against a recording tray shell and a
// settings folder of the test's own. What the tray component does with its record is proved
// on the component; here it is what the window asks of it and when.
#include "app/formKelvane.h"
#include "settings/settings_store.h"
#include "systray/clsSystray.h"
#include "tests/support/fake_block_source.h"
#include "tests/support/fake_kernel32.h"
#include "tests/support/qt_printers.h"
#include "toolkit/notifyshell.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using toolkit::NIM_ADD;
using toolkit::NIM_DELETE;

const QString app = QStringLiteral("Copperline");
const QString section = QStringLiteral("Settings");

QString stored(const QString &key) { return settings::GetSetting(app, section, key, QStringLiteral("<absent>")); }

// A fresh settings folder for each test.
struct SettingsFolder
{
    SettingsFolder() : previous(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    ~SettingsFolder() { qputenv("XDG_CONFIG_HOME", previous); }
    void set(const char *key, const std::optional<QString> &value)
    {
        if (value) {
            ASSERT_TRUE(settings::SaveSetting(app, section, QString::fromLatin1(key), *value));
        }
    }
    QTemporaryDir dir;
    QByteArray previous;
};

struct Window
{
    explicit Window(const QString &commandLine = {})
        : window(KelvaneServices{&kernel, &blocks, &shell, commandLine})
    {
        kernel.setPhysMB(2048, 768);
        window.findChild<toolkit::Timer *>(QStringLiteral("Timer1"))->setEnabled(false);
    }
    // Start-up as main runs it.
    void start()
    {
        window.Form_Load();
        if (!window.startsInTray())
            window.show();
    }
    bool inTray() const { return window.trayIcon() && window.trayIcon()->IsIconInTray(); }
    QAction *item(const char *name) const { return window.findChild<QAction *>(QString::fromLatin1(name)); }
    // The tray icon's notification code, as the shell delivers it.
    void notify(int code) { window.raiseMouseMove(0, 0, code, 0); }

    FakeKernel32 kernel;
    FakeBlockSource blocks;
    toolkit::RecordingNotifyShell shell;
    formKelvane window;
};

// What an open popup showed, read while it was open; the popup is then closed with `choose`
// (an item's text) triggered, or dismissed.
struct PopupSeen
{
    std::vector<QString> items; // "-" for a separator, "[x] " before a checked item
    QString bold;
};

PopupSeen openPopupThen(const std::function<void()> &open, const QString &choose = {})
{
    PopupSeen seen;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *a : menu->actions())
            seen.items.push_back(a->isSeparator() ? QStringLiteral("-")
                                                  : (a->isChecked() ? QStringLiteral("[x] ") : QString()) + a->text());
        if (menu->defaultAction())
            seen.bold = menu->defaultAction()->text();
        QAction *chosen = nullptr;
        for (QAction *a : menu->actions())
            if (!choose.isEmpty() && a->text() == choose)
                chosen = a;
        if (chosen)
            menu->setActiveAction(chosen), QTest::keyClick(menu, Qt::Key_Return);
        else
            menu->close();
    });
    open();
    return seen;
}

TEST(TrayMode, minimiseShowAndHideFollowTheStateTable)
{
    SettingsFolder folder;
    Window w;
    w.start();
    ASSERT_TRUE(w.window.isVisible());
    EXPECT_FALSE(w.inTray());
    w.shell.clear();

    // Shown -> in tray: icon added with the caption as its tip, window hidden, state normal.
    w.window.setWindowStateNumber(toolkit::Form::Minimized);
    EXPECT_TRUE(w.inTray());
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_EQ(w.window.windowStateNumber(), toolkit::Form::Normal);
    ASSERT_FALSE(w.shell.calls.empty());
    EXPECT_EQ(w.shell.calls.front().message, NIM_ADD);
    EXPECT_EQ(w.window.trayIcon()->Tooltip(), w.window.windowTitle());

    // A left click on the icon (513, 514) brings the window back and removes the icon.
    w.shell.clear();
    w.notify(513);
    EXPECT_FALSE(w.window.isVisible()) << "only the button's release acts";
    w.notify(514);
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_FALSE(w.inTray());
    EXPECT_EQ(w.shell.messages(), std::vector<std::uint32_t>{NIM_DELETE});

    // "Show" while shown goes back to the tray; the refresh then keeps the tip current.
    w.window.mnuShow_Click();
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_TRUE(w.inTray());
    w.window.RefreshStatus();
    EXPECT_EQ(w.window.trayIcon()->Tooltip(), QStringLiteral("768.0MB Kelvane v1.0\nUsage: 62.5%"));
}

TEST(TrayMode, minimisingWithTheIconAlreadyInTheTrayStillHides)
{
    SettingsFolder folder;
    Window w;
    w.start();
    w.window.ShowTray();
    w.window.show(); // shown again behind the tray's back, the icon still in
    w.window.setWindowStateNumber(toolkit::Form::Minimized);
    EXPECT_EQ(w.window.trayIcon()->LastErrorNumber(), -9);
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_TRUE(w.inTray());
}

TEST(TrayMode, onlyTheReleaseCodesActAndOrdinaryMovesNever)
{
    SettingsFolder folder;
    Window w;
    w.start();
    w.window.ShowTray();
    // Codes that the window leaves to the tray component, and ordinary moves across the
    // client area (at most 311 pixels), change nothing.
    for (int code : {512, 513, 515, 516, 518, 519, 520, 1029, 0, 311}) {
        const PopupSeen seen = openPopupThen([&] { w.notify(code); });
        EXPECT_TRUE(seen.items.empty()) << code;
        EXPECT_FALSE(w.window.isVisible()) << code;
    }
    w.window.show();
    QTest::mouseMove(&w.window, QPoint(311, 50));
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST(TrayMode, rightClickPopsTheMenuWithShowInBoldAndItsCommandsWork)
{
    SettingsFolder folder;
    Window w;
    w.start();
    w.window.ShowTray();

    const PopupSeen seen = openPopupThen([&] { w.notify(517); });
    const std::vector<QString> expected{QStringLiteral("&Show Kelvane"), QStringLiteral("-"),
                                        QStringLiteral("Auto Kelvane Setup"), QStringLiteral("[x] Auto Kelvane"),
                                        QStringLiteral("-"), QStringLiteral("E&xit")};
    EXPECT_EQ(seen.items, expected);
    EXPECT_EQ(seen.bold, QStringLiteral("&Show Kelvane"));
    EXPECT_EQ(w.item("mnuShow")->font().bold(), false) << "bold belongs to the popup only";

    // "Auto Kelvane" flips its check mark at each choice; "Show" brings the window back.
    openPopupThen([&] { w.notify(517); }, QStringLiteral("Auto Kelvane"));
    EXPECT_FALSE(w.item("mnuAutoFree")->isChecked());
    w.window.mnuAutoFree_Click();
    EXPECT_TRUE(w.item("mnuAutoFree")->isChecked());
    openPopupThen([&] { w.notify(517); }, QStringLiteral("&Show Kelvane"));
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_FALSE(w.inTray());
}

TEST(TrayMode, exitFromTheTrayStoresNormalRemovesTheIconAndUnloads)
{
    SettingsFolder folder;
    Window w;
    w.start();
    w.window.ShowTray();
    QSignalSpy unloaded(&w.window, &formKelvane::Unloaded);
    openPopupThen([&] { w.notify(517); }, QStringLiteral("E&xit"));
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(w.inTray());
    EXPECT_EQ(w.shell.calls.back().message, NIM_DELETE);
    EXPECT_EQ(stored(QStringLiteral("KelvaneTray")), QStringLiteral("0"));
    w.window.close(); // a late second close (a signal, say) does the work once only
    EXPECT_EQ(unloaded.count(), 1);
}

struct StartCase
{
    const char *commandLine;
    std::optional<QString> trayValue; // KelvaneTray as stored; empty: absent
    bool inTray;
};

TEST(StartUp, trayStartMatrix)
{
    const StartCase cases[] = {
        {"", std::nullopt, false},
        {"/tray", QStringLiteral("0"), true},
        {"-q /Tray", std::nullopt, true},
        {"tray", std::nullopt, false},
        {"", QStringLiteral("1"), true},
        {"", QStringLiteral("1.0"), true},
        {"", QStringLiteral("1abc"), true},
        {"", QStringLiteral(" 1"), true},
        {"", QStringLiteral("2"), false},
        {"", QStringLiteral("0"), false},
        {"", QString(), false},
    };
    for (const StartCase &c : cases) {
        SCOPED_TRACE(std::string("command line '") + c.commandLine + "', KelvaneTray "
                     + (c.trayValue ? c.trayValue->toStdString() : "absent"));
        SettingsFolder folder;
        folder.set("KelvaneTray", c.trayValue);
        Window w(QString::fromLatin1(c.commandLine));
        w.start();
        EXPECT_EQ(w.window.startsInTray(), c.inTray);
        EXPECT_EQ(w.inTray(), c.inTray);
        EXPECT_EQ(w.window.isVisible(), !c.inTray);
        EXPECT_EQ(w.window.windowStateNumber(), toolkit::Form::Normal);
        if (c.inTray) {
            // Restored from the tray, the window stands in the middle of the screen.
            w.notify(514);
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            EXPECT_LE(std::abs(w.window.frameGeometry().center().x() - screen.center().x()), 1);
            EXPECT_LE(std::abs(w.window.frameGeometry().center().y() - screen.center().y()), 1);
        }
    }
}

struct ThresholdCase
{
    std::optional<QString> peak, megabytes;
    std::int32_t expectedPeak, expectedMegabytes;
};

TEST(StartUp, thresholdsFromTheStoreAndTheSliderAtItsMaximum)
{
    const ThresholdCase cases[] = {
        {std::nullopt, std::nullopt, 95, 10}, // first run
        {QStringLiteral("abc"), QStringLiteral("10"), 0, 10},
        {QStringLiteral("120"), QStringLiteral("2000"), 120, 2000},
        {QStringLiteral("94.5"), QStringLiteral("95.5"), 94, 96},
        {QString(), QStringLiteral("-5"), 0, -5},
    };
    for (const ThresholdCase &c : cases) {
        SCOPED_TRACE(c.peak.value_or(QStringLiteral("<absent>")).toStdString());
        SettingsFolder folder;
        folder.set("AutoKelvanePeak", c.peak);
        folder.set("AutoKelvaneMB", c.megabytes);
        Window w;
        w.kernel.setPhysMB(2048, 1900); // nothing near any of these peaks
        w.start();
        EXPECT_EQ(w.window.AutoKelvanePeak, c.expectedPeak);
        EXPECT_EQ(w.window.AutoKelvaneMB, c.expectedMegabytes);
        EXPECT_FALSE(w.window.startsInTray());
        auto *slider = w.window.findChild<toolkit::ScrollBar *>(QStringLiteral("HScroll1"));
        EXPECT_EQ(slider->value(), 1098); // 2048 - 1900 / 2
        EXPECT_EQ(w.window.findChild<QPushButton *>(QStringLiteral("btnFree"))->text(), QStringLiteral("Free 1098 MB"));
        // Reading stores nothing.
        EXPECT_EQ(stored(QStringLiteral("AutoKelvanePeak")), c.peak.value_or(QStringLiteral("<absent>")));
    }
}

} // namespace
