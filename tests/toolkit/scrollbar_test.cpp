// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/scrollbar.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using toolkit::ScrollBar;

namespace {

struct ScrollBarTest : ::testing::Test
{
    ScrollBarTest()
    {
        bar.resize(200, 20);
        EXPECT_TRUE(bar.setMaximum(100));
        bar.setSmallChange(1);
        bar.setLargeChange(10);
        bar.show();
    }
    ScrollBar bar;
    QSignalSpy changes{&bar, &ScrollBar::changed};
};

TEST_F(ScrollBarTest, assignmentsOutsideTheRangeOr16BitsAreRefusedAndOnlyChangesFire)
{
    EXPECT_TRUE(bar.setValue(40));
    EXPECT_TRUE(bar.setValue(40)); // same value: no change event
    EXPECT_EQ(bar.value(), 40);
    EXPECT_EQ(changes.count(), 1);
    for (int bad : {-1, 101, 40000, -40000})
        EXPECT_FALSE(bar.setValue(bad)) << bad;
    EXPECT_EQ(bar.value(), 40);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(bar.setMaximum(32768));
    EXPECT_FALSE(bar.setMinimum(-32769));
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.minimum(), 0);
}

TEST_F(ScrollBarTest, loweringMaximumLeavesValueForOwnerToClamp)
{
    ASSERT_TRUE(bar.setValue(80));
    changes.clear();
    ASSERT_TRUE(bar.setMaximum(50));
    EXPECT_EQ(bar.value(), 80);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_TRUE(bar.setValue(bar.maximum()));
    EXPECT_EQ(bar.value(), 50);
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(ScrollBarTest, userStepsFireChangeAndAThumbDragOnlyOnRelease)
{
    QScrollBar *q = bar.bar();
    q->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    q->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar.value(), 11);
    EXPECT_EQ(changes.count(), 2);
    q->setSliderDown(true);
    q->setSliderPosition(30);
    q->setSliderPosition(60);
    EXPECT_EQ(changes.count(), 2);
    q->setSliderDown(false);
    EXPECT_EQ(bar.value(), 60);
    EXPECT_EQ(changes.count(), 3);
}

} // namespace

// The bars set amounts: keys move them as on any slider, not inverted as on Qt's scroll bars.
TEST_F(ScrollBarTest, keysRaiseTowardsTheRightAndLowerTowardsTheLeft)
{
    const std::pair<Qt::Key, int> steps[] = {{Qt::Key_Right, 51}, {Qt::Key_Left, 50}, {Qt::Key_PageUp, 60},
                                             {Qt::Key_PageDown, 50}, {Qt::Key_End, 100}, {Qt::Key_Home, 0}};
    ASSERT_TRUE(bar.setValue(50));
    for (const auto &[key, expected] : steps) {
        QTest::keyClick(bar.bar(), key);
        EXPECT_EQ(bar.value(), expected) << QKeySequence(key).toString().toStdString();
    }
}
