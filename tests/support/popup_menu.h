// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a popup menu shows while it is open, for tests of the code that pops it up.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>

// The items of the popup that `open` shows, read while it is open ("-" a separator, "[x]" a
// checked item, "*" the bold default); then `choose` is triggered, or the popup dismissed.
// Empty when `open` shows none.
inline QString popupThen(const std::function<void()> &open, const QString &choose = {})
{
    QStringList seen;
    QObject context; // no popup: the check goes with it
    QTimer::singleShot(0, &context, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        for (QAction *a : menu ? menu->actions() : QList<QAction *>()) {
            const QString marks = QString(a->isChecked() ? "[x]" : "") + (a == menu->defaultAction() ? "*" : "");
            seen << (a->isSeparator() ? QStringLiteral("-") : marks + a->text());
            if (!choose.isEmpty() && a->text() == choose)
                menu->setActiveAction(a);
        }
        if (menu && menu->activeAction())
            QTest::keyClick(menu, Qt::Key_Return);
        else if (menu)
            menu->close();
    });
    open();
    return seen.join(u'|');
}
