// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/qt_printers.h"
#include "toolkit/form.h"
#include "toolkit/handles.h"
#include "toolkit/notifyshell_qt.h"
#include "toolkit/twips.h"

#include <QCoreApplication>
#include <QPixmap>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace toolkit;

namespace {

QIcon solidIcon(Qt::GlobalColor colour)
{
    QPixmap picture(16, 16);
    picture.fill(colour);
    return QIcon(picture);
}

// Every test below finds icons by their window's handle; here what those tests cannot see.
TEST(Handles, iconsAndWindowsThatGoAreNeverConfusedWithOthers)
{
    EXPECT_EQ(handles::forWindow(nullptr), 0u);
    EXPECT_EQ(handles::forIcon(QIcon()), 0u);
    const QIcon icon = solidIcon(Qt::red);
    const std::uint32_t hIcon = handles::forIcon(icon);
    EXPECT_EQ(handles::forIcon(QIcon(icon)), hIcon);
    EXPECT_NE(handles::forIcon(solidIcon(Qt::red)), hIcon); // another icon, another handle
    EXPECT_EQ(handles::window(hIcon), nullptr); // an icon's handle is no window

    auto first = std::make_unique<QWidget>();
    const std::uint32_t h1 = handles::forWindow(first.get());
    EXPECT_TRUE(handles::icon(h1).isNull());
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
    bool send(std::uint32_t message) { return shell.Shell_NotifyIconW(message, record); }
    const QtNotifyShell::Icon *icon() const { return shell.find(owner.hWnd(), 0); }
    // The codes the owner gets for what `act` does to the icon, once queued events have run.
    std::vector<int> codesFor(const std::function<void()> &act)
    {
        codes.clear();
        act();
        EXPECT_TRUE(codes.empty()); // posted, not sent
        QCoreApplication::processEvents();
        return codes;
    }

    Form owner;
    QtNotifyShell shell;
    NotifyIconData record{};
    std::vector<int> codes;
};

TEST_F(QtShellTest, keepsOneIconPerWindowAndIdWithoutATrayToShowIt)
{
    EXPECT_FALSE(send(NIM_MODIFY)); // not added yet
    ASSERT_TRUE(send(NIM_ADD));
    EXPECT_FALSE(send(NIM_ADD));
    ASSERT_NE(icon(), nullptr);
    EXPECT_EQ(icon()->tray->toolTip(), QStringLiteral("Kelvane"));
    EXPECT_EQ(icon()->tray->icon().cacheKey(), owner.windowIcon().cacheKey());
    EXPECT_FALSE(icon()->tray->isVisible()); // offscreen: no notification area

    writeU32(record, nid::uVersion, NOTIFYICON_VERSION);
    EXPECT_TRUE(send(NIM_SETVERSION));
    EXPECT_EQ(icon()->version, 3u);
    writeU32(record, nid::uFlags, NIF_MESSAGE); // the tip is not applied without NIF_TIP
    setText(nid::szTip, "ignored");
    EXPECT_TRUE(send(NIM_MODIFY));
    EXPECT_EQ(icon()->tray->toolTip(), QStringLiteral("Kelvane"));
    EXPECT_FALSE(send(3));

    writeU32(record, nid::uID, 1); // another icon of the same window
    EXPECT_FALSE(send(NIM_DELETE));
    writeU32(record, nid::uID, 0);
    EXPECT_TRUE(send(NIM_DELETE));
    EXPECT_EQ(icon(), nullptr);
    writeU32(record, nid::hWnd, 0xFFFFFFF0); // no such window
    EXPECT_FALSE(send(NIM_ADD));
}

TEST_F(QtShellTest, balloonShowsWhenNewAndGoesWithAnEmptyText)
{
    ASSERT_TRUE(send(NIM_ADD));
    writeU32(record, nid::uFlags, NIF_INFO | NIF_TIP);
    setText(nid::szInfo, "Freed");
    setText(nid::szInfoTitle, "Kelvane");
    writeU32(record, nid::dwInfoFlags, NIIF_WARNING | NIIF_NOSOUND);
    writeU32(record, nid::uTimeout, 4000);
    send(NIM_MODIFY);
    send(NIM_MODIFY); // a refresh carries it again
    ASSERT_TRUE(icon()->balloon);
    EXPECT_EQ(*icon()->balloon, (QtNotifyShell::Balloon{QStringLiteral("Kelvane"), QStringLiteral("Freed"), 18, 4000}));
    EXPECT_EQ(icon()->balloonPosts, 1);
    setText(nid::szInfo, "Freed again");
    send(NIM_MODIFY);
    EXPECT_EQ(icon()->balloonPosts, 2);
    setText(nid::szInfo, "");
    send(NIM_MODIFY);
    EXPECT_FALSE(icon()->balloon);
}

TEST_F(QtShellTest, clicksReachTheOwnerAsQueuedNotificationCodes)
{
    ASSERT_EQ(twipsPerPixelX(), 15.0);
    ASSERT_TRUE(send(NIM_ADD));
    QSystemTrayIcon *tray = icon()->tray;
    const std::pair<QSystemTrayIcon::ActivationReason, std::vector<int>> cases[] = {
        {QSystemTrayIcon::Trigger, {513, 514}}, {QSystemTrayIcon::Context, {516, 517}},
        {QSystemTrayIcon::DoubleClick, {515}},  {QSystemTrayIcon::MiddleClick, {519, 520}},
        {QSystemTrayIcon::Unknown, {}}};
    for (const auto &[reason, expected] : cases)
        EXPECT_EQ(codesFor([&, r = reason] { emit tray->activated(r); }), expected) << reason;
    EXPECT_EQ(codesFor([&] { emit tray->messageClicked(); }), std::vector<int>{1029});

    // Another callback message is nothing a form can take.
    writeU32(record, nid::uFlags, NIF_MESSAGE);
    writeU32(record, nid::uCallbackMessage, 0x8001);
    send(NIM_MODIFY);
    EXPECT_TRUE(codesFor([&] { emit tray->activated(QSystemTrayIcon::Trigger); }).empty());
}

TEST_F(QtShellTest, anOwnerThatGoesTakesItsIconAlong)
{
    auto other = std::make_unique<Form>();
    writeU32(record, nid::hWnd, other->hWnd());
    ASSERT_TRUE(send(NIM_ADD));
    const std::uint32_t hWnd = other->hWnd();
    other.reset();
    EXPECT_EQ(shell.find(hWnd, 0), nullptr);
    EXPECT_FALSE(send(NIM_DELETE));
}

} // namespace
