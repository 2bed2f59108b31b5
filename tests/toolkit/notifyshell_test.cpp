// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/qt_printers.h"
#include "toolkit/form.h"
#include "toolkit/handles.h"
#include "toolkit/notifyshell_qt.h"
#include "toolkit/twips.h"

#include <QCoreApplication>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

using namespace toolkit;

namespace {

QIcon solidIcon(Qt::GlobalColor colour)
{
    QPixmap picture(16, 16);
    picture.fill(colour);
    return QIcon(picture);
}

TEST(Handles, windowsAndIconsGetStableDistinctHandlesThatResolveBack)
{
    EXPECT_EQ(handles::forWindow(nullptr), 0u);
    EXPECT_EQ(handles::forIcon(QIcon()), 0u);
    EXPECT_EQ(handles::window(0), nullptr);

    auto first = std::make_unique<QWidget>();
    QWidget second;
    const std::uint32_t h1 = handles::forWindow(first.get());
    EXPECT_NE(h1, 0u);
    EXPECT_EQ(handles::forWindow(first.get()), h1);
    EXPECT_NE(handles::forWindow(&second), h1);
    EXPECT_EQ(handles::window(h1), first.get());

    const QIcon icon = solidIcon(Qt::red);
    const QIcon copy = icon;
    const std::uint32_t hIcon = handles::forIcon(icon);
    EXPECT_EQ(handles::forIcon(copy), hIcon);
    EXPECT_NE(handles::forIcon(solidIcon(Qt::red)), hIcon); // other contents, other handle
    EXPECT_EQ(handles::icon(hIcon).cacheKey(), icon.cacheKey());
    EXPECT_TRUE(handles::icon(h1).isNull()); // a window's handle is no icon
    EXPECT_EQ(handles::window(hIcon), nullptr);

    first.reset();
    EXPECT_EQ(handles::window(h1), nullptr);
    QWidget later; // may take the old address; never the old handle
    EXPECT_NE(handles::forWindow(&later), h1);
}

struct QtShellTest : ::testing::Test
{
    QtShellTest()
    {
        owner.setWindowIcon(solidIcon(Qt::blue));
        writeU32(record, nid::cbSize, NotifyIconDataSize);
        writeU32(record, nid::hWnd, owner.hWnd());
        writeU32(record, nid::uCallbackMessage, WM_MOUSEMOVE);
        writeU32(record, nid::hIcon, owner.iconHandle());
        writeU32(record, nid::uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
        setText(nid::szTip, "Kelvane");
        QObject::connect(&owner, &Form::MouseMove, [this](short &, short, float x, float) {
            codes.push_back(static_cast<int>(owner.scaleX(x, Form::Twips, Form::Pixels)));
        });
    }
    void setText(std::size_t offset, const char *text)
    {
        const QString s = QString::fromLatin1(text);
        for (qsizetype i = 0; i <= s.size(); ++i)
            writeUnit(record, offset, static_cast<std::size_t>(i), i < s.size() ? s.at(i).unicode() : 0);
    }
    const QtNotifyShell::Icon *icon() const { return shell.find(owner.hWnd(), 0); }

    Form owner;
    QtNotifyShell shell;
    NotifyIconData record{};
    std::vector<int> codes;
};

TEST_F(QtShellTest, keepsOneIconPerWindowAndIdWithoutATrayToShowIt)
{
    EXPECT_FALSE(shell.Shell_NotifyIconW(NIM_MODIFY, record)); // not added yet
    ASSERT_TRUE(shell.Shell_NotifyIconW(NIM_ADD, record));
    EXPECT_FALSE(shell.Shell_NotifyIconW(NIM_ADD, record));
    ASSERT_NE(icon(), nullptr);
    EXPECT_EQ(icon()->tray->toolTip(), QStringLiteral("Kelvane"));
    EXPECT_EQ(icon()->tray->icon().cacheKey(), owner.windowIcon().cacheKey());
    EXPECT_FALSE(icon()->tray->isVisible()); // offscreen: no notification area
    EXPECT_EQ(icon()->callbackMessage, WM_MOUSEMOVE);

    writeU32(record, nid::uVersion, NOTIFYICON_VERSION);
    EXPECT_TRUE(shell.Shell_NotifyIconW(NIM_SETVERSION, record));
    EXPECT_EQ(icon()->version, 3u);
    writeU32(record, nid::uFlags, NIF_MESSAGE); // the tip is not applied without NIF_TIP
    setText(nid::szTip, "ignored");
    EXPECT_TRUE(shell.Shell_NotifyIconW(NIM_MODIFY, record));
    EXPECT_EQ(icon()->tray->toolTip(), QStringLiteral("Kelvane"));
    EXPECT_FALSE(shell.Shell_NotifyIconW(3, record));

    writeU32(record, nid::uID, 1); // another icon of the same window
    EXPECT_FALSE(shell.Shell_NotifyIconW(NIM_DELETE, record));
    writeU32(record, nid::uID, 0);
    EXPECT_TRUE(shell.Shell_NotifyIconW(NIM_DELETE, record));
    EXPECT_EQ(icon(), nullptr);
    writeU32(record, nid::hWnd, 0xFFFFFFF0); // no such window
    EXPECT_FALSE(shell.Shell_NotifyIconW(NIM_ADD, record));
}

TEST_F(QtShellTest, balloonShowsWhenNewAndGoesWithAnEmptyText)
{
    ASSERT_TRUE(shell.Shell_NotifyIconW(NIM_ADD, record));
    writeU32(record, nid::uFlags, NIF_INFO | NIF_TIP);
    setText(nid::szInfo, "Freed");
    setText(nid::szInfoTitle, "Kelvane");
    writeU32(record, nid::dwInfoFlags, NIIF_WARNING | NIIF_NOSOUND);
    writeU32(record, nid::uTimeout, 4000);
    shell.Shell_NotifyIconW(NIM_MODIFY, record);
    shell.Shell_NotifyIconW(NIM_MODIFY, record); // a refresh carries it again
    ASSERT_TRUE(icon()->balloon);
    EXPECT_EQ(*icon()->balloon, (QtNotifyShell::Balloon{QStringLiteral("Kelvane"), QStringLiteral("Freed"), 18, 4000}));
    EXPECT_EQ(icon()->balloonPosts, 1);
    setText(nid::szInfo, "Freed again");
    shell.Shell_NotifyIconW(NIM_MODIFY, record);
    EXPECT_EQ(icon()->balloonPosts, 2);
    setText(nid::szInfo, "");
    shell.Shell_NotifyIconW(NIM_MODIFY, record);
    EXPECT_FALSE(icon()->balloon);

    const std::pair<std::uint32_t, QSystemTrayIcon::MessageIcon> icons[] = {
        {0, QSystemTrayIcon::NoIcon},       {1, QSystemTrayIcon::Information}, {2, QSystemTrayIcon::Warning},
        {19, QSystemTrayIcon::Critical},    {4, QSystemTrayIcon::NoIcon},      {16, QSystemTrayIcon::NoIcon},
    };
    for (const auto &[flags, expected] : icons)
        EXPECT_EQ(QtNotifyShell::messageIcon(flags), expected) << flags;
}

TEST_F(QtShellTest, clicksReachTheOwnerAsQueuedNotificationCodes)
{
    ASSERT_EQ(twipsPerPixelX(), 15.0);
    ASSERT_TRUE(shell.Shell_NotifyIconW(NIM_ADD, record));
    QSystemTrayIcon *tray = icon()->tray;
    const std::pair<QSystemTrayIcon::ActivationReason, std::vector<int>> cases[] = {
        {QSystemTrayIcon::Trigger, {513, 514}},     {QSystemTrayIcon::Context, {516, 517}},
        {QSystemTrayIcon::DoubleClick, {515}},      {QSystemTrayIcon::MiddleClick, {519, 520}},
        {QSystemTrayIcon::Unknown, {}},
    };
    for (const auto &[reason, expected] : cases) {
        codes.clear();
        emit tray->activated(reason);
        EXPECT_TRUE(codes.empty()); // posted, not sent
        QCoreApplication::processEvents();
        EXPECT_EQ(codes, expected) << reason;
    }
    codes.clear();
    emit tray->messageClicked();
    QCoreApplication::processEvents();
    EXPECT_EQ(codes, std::vector<int>{1029});

    // Another callback message is nothing a form can take.
    writeU32(record, nid::uFlags, NIF_MESSAGE);
    writeU32(record, nid::uCallbackMessage, 0x8001);
    shell.Shell_NotifyIconW(NIM_MODIFY, record);
    codes.clear();
    emit tray->activated(QSystemTrayIcon::Trigger);
    QCoreApplication::processEvents();
    EXPECT_TRUE(codes.empty());
}

TEST(QtShell, anOwnerThatGoesTakesItsIconAlong)
{
    QtNotifyShell shell;
    auto owner = std::make_unique<Form>();
    NotifyIconData record{};
    const std::uint32_t hWnd = owner->hWnd();
    writeU32(record, nid::hWnd, hWnd);
    ASSERT_TRUE(shell.Shell_NotifyIconW(NIM_ADD, record));
    owner.reset();
    EXPECT_EQ(shell.find(hWnd, 0), nullptr);
    EXPECT_FALSE(shell.Shell_NotifyIconW(NIM_DELETE, record));
}

} // namespace
