// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"
#include "tests/support/qt_printers.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(BottomStrip, holdsItsGradientStops)
{
    const QImage strip = bottomStrip();
    ASSERT_EQ(strip.size(), QSize(4, 56));
    const std::pair<int, QColor> stops[] = {{0, {255, 255, 255}}, {25, {151, 174, 214}}, {39, {209, 231, 255}},
                                            {47, {127, 144, 181}}, {55, {126, 144, 180}}};
    for (int x = 0; x < 4; ++x) {
        for (const auto &[row, colour] : stops)
            EXPECT_EQ(strip.pixelColor(x, row), colour) << "row " << row << " x " << x;
        EXPECT_EQ(strip.pixelColor(x, 31), x % 2 ? QColor(188, 207, 238) : QColor(182, 214, 230)) << x;
    }
    for (int row = 5; row <= 25; ++row) // darkening steadily
        EXPECT_LT(strip.pixelColor(0, row).lightness(), strip.pixelColor(0, row - 1).lightness()) << row;
}

TEST(ProgramIcon, isA32PixelChipOnATransparentGround)
{
    const QImage icon = programIcon();
    ASSERT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(icon.pixelColor(1, 7), QColor(0, 0, 0)); // outline corner
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            colours.insert(icon.pixel(x, y));
    EXPECT_LE(colours.size(), 256);
}

} // namespace
