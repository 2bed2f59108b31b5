// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/qt_printers.h"
#include "toolkit/numberformat.h"

#include <gtest/gtest.h>

#include <tuple>

using toolkit::formatNumber;

namespace {

TEST(FormatNumber, writesPatternWithLocaleSeparators)
{
    const QLocale enUS(QLocale::English, QLocale::UnitedStates);
    const QLocale deDE(QLocale::German, QLocale::Germany);
    // Value, pattern, United States, Germany.
    const std::tuple<double, const char16_t *, const char16_t *, const char16_t *> cases[] = {
        {768.0, u"###0.0 MB", u"768.0 MB", u"768,0 MB"},
        {13056.25, u"###0.0 MB", u"13056.3 MB", u"13056,3 MB"}, // no grouping
        {0.625, u"#0.0%", u"62.5%", u"62,5%"},
        {0.0, u"#0.0%", u"0.0%", u"0,0%"},
        {1.0, u"#0.0%", u"100.0%", u"100,0%"},
        {786432.0, u"#,##0.0 KB", u"786,432.0 KB", u"786.432,0 KB"},
        {1234567.89, u"#,##0.0 KB RAM", u"1,234,567.9 KB RAM", u"1.234.567,9 KB RAM"},
        {512.0, u"#,##0.0 KB", u"512.0 KB", u"512,0 KB"},
        {0.453, u"0%", u"45%", u"45%"},
        {0.125, u"0.00", u"0.13", u"0,13"}, // decimal halves round away from zero
        {0.04, u"#.0", u".0", u",0"},       // no mandatory integer digit
    };
    for (const auto &[value, pattern, us, de] : cases) {
        EXPECT_EQ(formatNumber(value, pattern, enUS), QString::fromUtf16(us));
        EXPECT_EQ(formatNumber(value, pattern, deDE), QString::fromUtf16(de));
    }
    EXPECT_EQ(formatNumber(-1.25, u"#0.0", QLocale::c()), QStringLiteral("-1.3")); // the sign is kept
    EXPECT_EQ(formatNumber(-0.01, u"#0.0", QLocale::c()), QStringLiteral("0.0"));
    // Values too large for the rounding's arithmetic are shown as the numbers they are.
    for (const auto &[value, pattern, shown] :
         {std::tuple{-2.7758e307, u"#0.0", -2.7758e307}, std::tuple{-5.92e305, u"0%", -5.92e307}}) {
        QString text = formatNumber(value, pattern, QLocale::c());
        text.remove(u'%');
        EXPECT_EQ(text.toDouble(), shown) << text.toStdString();
    }
}

} // namespace
