// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/twips.h"

#include <gtest/gtest.h>

namespace {

// Tray notification codes travel to the window as a mouse X in twips, in single precision,
// and must come back as the same whole pixel at every screen density; other fractions stay.
TEST(PixelsFromTwips, codesSurviveTheSinglePrecisionTripAtEveryDensity)
{
    for (int dpi = 72; dpi <= 288; ++dpi) {
        const double tpp = 1440.0 / dpi;
        for (int code : {512, 513, 514, 515, 516, 517, 518, 1026, 1027, 1028, 1029}) {
            const auto twips = static_cast<float>(code * tpp);
            EXPECT_EQ(static_cast<float>(toolkit::pixelsFromTwips(twips, tpp)), static_cast<float>(code))
                << "dpi " << dpi << " code " << code;
        }
    }
    EXPECT_DOUBLE_EQ(toolkit::pixelsFromTwips(7.5, 15.0), 0.5);
}

} // namespace
