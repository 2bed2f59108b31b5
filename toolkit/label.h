// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Where a plain text is drawn, with a margin for glyphs that reach past their advance.
    QRect textArea(const QString &text) const;

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
    bool m_pressed = false;
};

} // namespace toolkit
