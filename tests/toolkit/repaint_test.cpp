// SPDX-License-Identifier: GPL-3.0-or-later
// The controls that repaint only part of themselves must leave the screen as a full repaint
// would draw it.
#include "toolkit/label.h"
#include "toolkit/picturebox.h"
#include "toolkit/scrollbar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A gradient under a transparent, word-wrapped label, as the window's status line lies.
class Backdrop final : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, Qt::white);
        gradient.setColorAt(1, QColor(151, 174, 214));
        painter.fillRect(rect(), gradient);
    }
};

TEST(PartialRepaint, labelTextsAndSliderRangesLeaveWhatAFullRepaintDraws)
{
    Backdrop window;
    window.resize(320, 90);
    auto *label = new toolkit::Label(&window);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(0, 0, 277, 28);
    auto *centred = new toolkit::Label(&window);
    centred->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    centred->setGeometry(0, 30, 160, 15);
    auto *bar = new toolkit::ScrollBar(&window);
    bar->setGeometry(5, 60, 186, 20);
    // A bordered picture box drawn on as the graph is: only its inside repaints.
    auto *box = new toolkit::PictureBox(&window);
    box->setBackColor(Qt::black);
    box->setBorder(true);
    box->setGeometry(200, 30, 108, 30);
    ASSERT_TRUE(bar->setMaximum(13002));
    ASSERT_TRUE(bar->setValue(13002));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // The status line, the centred text, the slider's maximum.
    const std::tuple<QString, QString, int> steps[] = {
        {QStringLiteral("Free: 22542.6 MB - Usage: 6.5% of 24105.0 MB"), QStringLiteral("93.5%"), 12982},
        // Longer than a line: it wraps, and the second line must appear and go again.
        {QStringLiteral("Free: 22542.6 MB - Usage: 6.5% of 24105.0 MB and then some more words"),
         QStringLiteral("100.0%"), 6000},
        {QStringLiteral("Free: 1.0 MB"), QString(), 6001},
        {QString(), QStringLiteral("5.0%"), 32767},
    };
    for (const auto &[text, centredText, maximum] : steps) {
        label->setText(text);
        centred->setText(centredText);
        ASSERT_TRUE(bar->setMaximum(maximum));
        if (bar->value() > bar->maximum()) {
            ASSERT_TRUE(bar->setValue(bar->maximum()));
        }
        box->line({0, double(maximum % 28)}, {105, 27}, Qt::green);
        QTest::qWait(50);
        const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
        const QImage full = window.grab().toImage().convertToFormat(shown.format());
        EXPECT_TRUE(shown == full) << qPrintable(text) << " / max " << maximum;
    }
    // The border is the outlined rectangle it always was.
    QImage outlined(box->size(), QImage::Format_RGB32);
    {
        QPainter painter(&outlined);
        painter.setPen(QColor(0, 0, 0));
        painter.drawRect(outlined.rect().adjusted(0, 0, -1, -1));
        painter.drawImage(1, 1, box->image());
    }
    EXPECT_TRUE(box->grab().toImage().convertToFormat(QImage::Format_RGB32) == outlined);
}

} // namespace
