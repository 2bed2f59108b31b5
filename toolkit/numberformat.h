// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

namespace toolkit {

// Formats a number with a display pattern such as "###0.0 MB", "#0.0%" or "#,##0.0 KB".
//
// The pattern's numeric part is the run of '#', '0', ',' and '.' characters; text before
// and after it is copied as it stands. '0' is a digit that is always shown, '#' one shown
// only when significant, a ',' in the integer part asks for digit grouping, and a '%'
// anywhere in the literal text multiplies the value by 100. The decimal point and the group
// separator come from the locale. Halfway values round away from zero.
QString formatNumber(double value, QStringView pattern, const QLocale &locale = QLocale());

} // namespace toolkit
