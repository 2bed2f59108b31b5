// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"
#include "tests/support/qt_printers.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

// Every size is drawn for itself: the chip fills the square, every pixel is either fully
// covered or empty (no blur from scaling), and the palette stays small.
TEST(ProgramIcon, isDrawnSharplyAtEachSize)
{
    for (const int size : {16, 20, 22, 24, 32, 40, 48, 64, 128, 256}) {
        const QImage icon = programIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        QSet<QRgb> colours;
        QRect opaque;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const int alpha = icon.pixelColor(x, y).alpha();
                EXPECT_TRUE(alpha == 0 || alpha == 255) << size << " px at " << x << "," << y;
                if (alpha == 255)
                    opaque |= QRect(x, y, 1, 1);
                colours.insert(icon.pixel(x, y));
            }
        }
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << size;
        EXPECT_GE(opaque.width(), size * 7 / 8) << size;
        EXPECT_GE(opaque.height(), size / 2) << size;
        EXPECT_LE(colours.size(), 256) << size;
    }
    EXPECT_EQ(programIcon().pixelColor(1, 7), QColor(0, 0, 0)); // the 32 px outline corner
}

// The window's and the tray's icon is drawn afresh at any size asked for, not scaled.
TEST(ProgramIcon, iconSetDrawsAtTheRequestedSize)
{
    const QIcon icon = programIconSet();
    EXPECT_EQ(icon.availableSizes().size(), 6); // 16 to 64 px
    for (const int size : {20, 32, 40}) {
        const QImage drawn = icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(drawn, programIcon(size)) << size;
    }
}

} // namespace
