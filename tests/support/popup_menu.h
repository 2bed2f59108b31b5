// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a popup menu shows while it is open, for tests of the code that pops it up.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>

// The items of each popup that `open` shows, read while it is open ("-" a separator, "[x]" a
// checked item, "*" the bold default, "/" between popups); then `choose` is triggered, or the
// popup dismissed. Empty when `open` shows none.
inline QString popupThen(const std::function<void()> &open, const QString &choose = {})
{
    QStringList seen;
    QTimer watch; // runs only in the popups' own event loops
    watch.callOnTimeout([&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        if (!seen.isEmpty())
            seen << QStringLiteral("/");
        for (QAction *a : menu->actions()) {
            const QString marks = QString(a->isChecked() ? "[x]" : "") + (a == menu->defaultAction() ? "*" : "");
            seen << (a->isSeparator() ? QStringLiteral("-") : marks + a->text());
            if (!choose.isEmpty() && a->text() == choose)
                menu->setActiveAction(a);
        }
        if (menu->activeAction())
            QTest::keyClick(menu, Qt::Key_Return);
        else
            menu->close();
    });
    watch.start(0);
    open();
    return seen.join(u'|');
}
