// SPDX-License-Identifier: GPL-3.0-or-later
// A coloured label draws its text in its colour, and so does its tool tip, however late the
// tip is first asked for.
#include "toolkit/label.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

bool hasColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffffu) == (colour & 0xffffffu))
                return true;
        }
    }
    return false;
}

TEST(LabelColour, theLabelAndItsTipDrawInTheColour)
{
    const QRgb blue = qRgb(0, 0, 255);
    QWidget window;
    window.resize(200, 40);
    auto *label = new toolkit::Label(&window);
    label->setGeometry(5, 5, 150, 20);
    label->setText(QStringLiteral("Kelvane credits"));
    label->setToolTip(QStringLiteral("file:///usr/share/doc/kelvane/README.md"));
    label->setTextColour(QColor(blue));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(hasColour(label->grab().toImage(), blue));

    QHelpEvent ask(QEvent::ToolTip, QPoint(10, 10), label->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(label, &ask);
    QWidget *tip = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible())
            tip = w;
    }
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(hasColour(tip->grab().toImage(), blue));
    QToolTip::hideText();
}

} // namespace
