// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/form.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

using toolkit::Form;

namespace {

TEST(FormMenus, memberFindsMenusAndItemsByNameOnly)
{
    Form form;
    auto *menu = new QMenu(&form);
    menu->setObjectName(QStringLiteral("mnuTray"));
    QAction *item = menu->addAction(QStringLiteral("Item"));
    item->setObjectName(QStringLiteral("mnuItem"));
    (new QLabel(&form))->setObjectName(QStringLiteral("lblStatus"));

    EXPECT_EQ(form.member(QStringLiteral("mnuTray")), menu);
    EXPECT_EQ(form.member(QStringLiteral("mnuItem")), item);
    EXPECT_EQ(form.member(QStringLiteral("lblStatus")), nullptr);
    EXPECT_EQ(form.member(QString()), nullptr);

    EXPECT_EQ(Form::menuVisible(menu), true); // a menu of its own is visible until hidden
    menu->menuAction()->setVisible(false);
    EXPECT_EQ(Form::menuVisible(menu), false);
    EXPECT_EQ(Form::menuVisible(item), true);
    EXPECT_EQ(Form::menuVisible(&form), std::nullopt);
    EXPECT_EQ(Form::menuVisible(nullptr), std::nullopt);
}

TEST(FormMenus, popupShowsTheDefaultItemForThatPopupOnly)
{
    Form form;
    auto *menu = new QMenu(&form);
    QAction *open = menu->addAction(QStringLiteral("Open"));
    QAction *exitItem = menu->addAction(QStringLiteral("Exit"));
    menu->setDefaultAction(exitItem);
    const QAction *shownDefault = nullptr;
    QPoint shownAt;
    QTimer::singleShot(0, menu, [&] {
        if (QApplication::activePopupWidget() != menu)
            return;
        shownDefault = menu->defaultAction();
        shownAt = menu->pos();
        menu->close();
    });
    const QPoint origin = form.mapToGlobal(QPoint(0, 0));
    EXPECT_TRUE(form.popupMenu(menu, {}, 150.0f, 300.0f, open)); // twips: 10 and 20 pixels
    EXPECT_EQ(shownDefault, open);
    EXPECT_EQ(shownAt, origin + QPoint(10, 20));
    EXPECT_EQ(menu->defaultAction(), exitItem);

    EXPECT_FALSE(form.popupMenu(open)); // an item without a submenu
    EXPECT_FALSE(form.popupMenu(nullptr));
    EXPECT_FALSE(form.popupMenu(new QMenu(&form))); // nothing to show
}

} // namespace
