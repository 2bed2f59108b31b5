// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/qt_printers.h"
#include "toolkit/numberformat.h"

#include <gtest/gtest.h>

#include <tuple>

using toolkit::formatNumber;

namespace {

// Any value in any locale with the program's own patterns, and the largest values:
// fuzz_numberformat. Here the exact texts it cannot pin: group places, decimal halves of a
// pattern of two decimals, a pattern without a mandatory integer digit, a negative half.
TEST(FormatNumber, writesPatternWithLocaleSeparators)
{
    const QLocale enUS(QLocale::English, QLocale::UnitedStates);
    const QLocale deDE(QLocale::German, QLocale::Germany);
    // Value, pattern, United States, Germany.
    const std::tuple<double, const char16_t *, const char16_t *, const char16_t *> cases[] = {
        {786432.0, u"#,##0.0 KB", u"786,432.0 KB", u"786.432,0 KB"},
        {1234567.89, u"#,##0.0 KB RAM", u"1,234,567.9 KB RAM", u"1.234.567,9 KB RAM"},
        {0.125, u"0.00", u"0.13", u"0,13"}, // decimal halves round away from zero
        {0.04, u"#.0", u".0", u",0"},
        {-1.25, u"#0.0", u"-1.3", u"-1,3"},
    };
    for (const auto &[value, pattern, us, de] : cases) {
        EXPECT_EQ(formatNumber(value, pattern, enUS), QString::fromUtf16(us));
        EXPECT_EQ(formatNumber(value, pattern, deDE), QString::fromUtf16(de));
    }
}

} // namespace
