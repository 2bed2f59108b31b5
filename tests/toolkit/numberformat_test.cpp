// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/numberformat.h"

#include <gtest/gtest.h>

using toolkit::formatNumber;

namespace {

struct Case
{
    double value;
    const char16_t *pattern;
    const char16_t *enUS;
    const char16_t *deDE;
};

class FormatNumber : public ::testing::TestWithParam<Case>
{
};

TEST_P(FormatNumber, writesPatternWithLocaleSeparators)
{
    const Case &c = GetParam();
    EXPECT_EQ(formatNumber(c.value, c.pattern, QLocale(QLocale::English, QLocale::UnitedStates)),
              QString::fromUtf16(c.enUS));
    EXPECT_EQ(formatNumber(c.value, c.pattern, QLocale(QLocale::German, QLocale::Germany)), QString::fromUtf16(c.deDE));
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatNumber,
    ::testing::Values(Case{768.0, u"###0.0 MB", u"768.0 MB", u"768,0 MB"},
                      Case{13056.25, u"###0.0 MB", u"13056.3 MB", u"13056,3 MB"}, // no grouping
                      Case{0.625, u"#0.0%", u"62.5%", u"62,5%"},
                      Case{0.0, u"#0.0%", u"0.0%", u"0,0%"},
                      Case{1.0, u"#0.0%", u"100.0%", u"100,0%"},
                      Case{2048.0, u"#0.0", u"2048.0", u"2048,0"},
                      Case{786432.0, u"#,##0.0 KB", u"786,432.0 KB", u"786.432,0 KB"},
                      Case{1234567.89, u"#,##0.0 KB RAM", u"1,234,567.9 KB RAM", u"1.234.567,9 KB RAM"},
                      Case{512.0, u"#,##0.0 KB", u"512.0 KB", u"512,0 KB"},
                      Case{0.453, u"0%", u"45%", u"45%"},
                      Case{0.125, u"0.00", u"0.13", u"0,13"},   // decimal halves round away from zero
                      Case{0.04, u"#.0", u".0", u",0"}));       // no mandatory integer digit

TEST(FormatNumberEdge, negativeValuesKeepTheirSign)
{
    EXPECT_EQ(formatNumber(-1.25, u"#0.0", QLocale::c()), QStringLiteral("-1.3"));
    EXPECT_EQ(formatNumber(-0.01, u"#0.0", QLocale::c()), QStringLiteral("0.0"));
}

} // namespace
