// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/twips.h"

#include <QFont>
#include <QString>
#include <QWidget>

namespace toolkit {

// Names a control as the rest of the program knows it (its object name) and lays it out in
// twips within its parent.
inline void place(QWidget *control, const char *name, double left, double top, double width, double height)
{
    control->setObjectName(QString::fromLatin1(name));
    moveTwips(control, left, top, width, height);
}

// A font by family name (fontconfig substitutes a missing one), size in points and weight
// (400 normal, 700 bold).
inline QFont fontOf(const QString &family, double points, int weight, bool underline = false)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setUnderline(underline);
    return font;
}

} // namespace toolkit
