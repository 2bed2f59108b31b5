// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Readable failure messages for the Qt values tests compare.

#include <QColor>
#include <QRect>
#include <QString>

#include <ostream>

inline void PrintTo(const QColor &c, std::ostream *os) { *os << "rgb(" << c.red() << ',' << c.green() << ',' << c.blue() << ')'; }
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QRect &r, std::ostream *os)
{
    *os << "QRect(" << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height() << ')';
}
