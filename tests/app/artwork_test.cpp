// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"
#include "tests/support/qt_printers.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Every size is drawn for itself: the chip fills the square's width and every pixel is
// either fully covered or empty (no blur from scaling). The window's and the tray's icon
// set draws afresh at any size asked for.
TEST(ProgramIcon, isDrawnSharplyAtEachSizeAndTheIconSetDrawsAtTheRequestedSize)
{
    const QIcon set = programIconSet();
    EXPECT_EQ(set.availableSizes().size(), 6); // 16 to 64 px
    for (const int size : {16, 20, 22, 24, 32, 40, 48, 64, 128, 256}) {
        const QImage icon = programIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        int left = size, right = -1;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const int alpha = icon.pixelColor(x, y).alpha();
                EXPECT_TRUE(alpha == 0 || alpha == 255) << size << " px at " << x << "," << y;
                if (alpha == 255)
                    left = std::min(left, x), right = std::max(right, x);
            }
        }
        EXPECT_GE(right - left + 1, size * 7 / 8) << size;
        EXPECT_EQ(set.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32), icon) << size;
    }
}

} // namespace
