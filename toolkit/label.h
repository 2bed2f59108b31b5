// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/click.h"

#include <QColor>
#include <QLabel>

#include <optional>

namespace toolkit {

// A label with a transparent background that reports clicks (press and release over it
// with the left button).
class Label final : public QLabel
{
    Q_OBJECT
public:
    explicit Label(QWidget *parent = nullptr);

    // QLabel::setText, repainting only where the old or the new text lies. The label is
    // transparent: a repaint of all of it repaints everything under it as well.
    void setText(const QString &text);

    // A text colour for the label and for its tool tip. The label takes it from its palette at
    // once; the tip takes it (with the tip's frame) from a style sheet set when the tip is
    // first asked for, so the style sheet machinery is loaded only once someone points here.
    void setTextColour(const QColor &colour);

    // Keeps every text on one line in the label's place and size: a text wider than the label
    // is drawn in a smaller size of the label's font, the largest that fits. Taken from the
    // font the label has now; texts that fit keep that font.
    void setFitsOneLine();

signals:
    void clicked();

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Where a plain text is drawn, with a margin for glyphs that reach past their advance.
    QRect textArea(const QString &text) const;
    // The font `text` is drawn in when it must fit on one line.
    QFont fittingFont(const QString &text) const;
    void applyTipColour();

    // Where the last text set through setText lies.
    struct Area
    {
        QString text;
        QRect contents;
        Qt::Alignment alignment;
        bool wordWrap = false;
        int margin = 0;
        QFont font;
        QRect rect;
        bool sameLayout(const Area &o) const
        {
            return text == o.text && contents == o.contents && alignment == o.alignment && wordWrap == o.wordWrap
                && margin == o.margin && font == o.font;
        }
    };
    std::optional<Area> m_area;
    std::optional<QColor> m_tipColour;
    std::optional<QFont> m_fullFont;
    Click m_click;
};

} // namespace toolkit
