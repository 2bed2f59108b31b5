// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QStyle>
#include <QTextDocument>

namespace toolkit {

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
}

QRect Label::textArea(const QString &text) const
{
    if (text.isEmpty())
        return {};
    int flags = QStyle::visualAlignment(layoutDirection(), alignment());
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    const QRect inner = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    return fontMetrics().boundingRect(inner, flags, text).adjusted(-3, -2, 3, 2) & rect();
}

void Label::setFitsOneLine()
{
    m_fullFont = font();
}

QFont Label::fittingFont(const QString &text) const
{
    QFont fitted = *m_fullFont;
    const int room = contentsRect().width() - 2 * margin();
    const bool points = fitted.pointSizeF() > 0;
    // Sizes shrink in steps of a quarter point (or one pixel); fonts do not scale exactly
    // with their size, so each step is measured.
    for (qreal size = points ? fitted.pointSizeF() : fitted.pixelSize();
         QFontMetrics(fitted).horizontalAdvance(text) > room && size > 1;) {
        size -= points ? 0.25 : 1;
        if (points)
            fitted.setPointSizeF(size);
        else
            fitted.setPixelSize(int(size));
    }
    return fitted;
}

void Label::setText(const QString &text)
{
    const QString before = QLabel::text();
    if (text == before)
        return;
    // Plain text only, as the status texts are; a picture, rich text or an indent takes the
    // whole label.
    const bool plain = pixmap().isNull() && indent() <= 0 && (textFormat() == Qt::PlainText
        || (textFormat() == Qt::AutoText && !Qt::mightBeRichText(before) && !Qt::mightBeRichText(text)));
    // A new font repaints the whole label by itself.
    const auto fit = [&] {
        if (!m_fullFont)
            return;
        if (const QFont fitted = fittingFont(text); fitted != font())
            setFont(fitted);
    };
    if (!plain || !isVisible() || !updatesEnabled()) {
        fit();
        QLabel::setText(text);
        return;
    }
    // The old text's place was found when it was set, in the same layout; laying out a text
    // costs about as much as drawing it.
    const Area now{before, contentsRect(), alignment(), wordWrap(), margin(), font(), {}};
    const QRect old = m_area && m_area->sameLayout(now) ? m_area->rect : textArea(before);
    fit();
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QLabel::setText(text);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    m_area = Area{text, contentsRect(), alignment(), wordWrap(), margin(), font(), textArea(text)};
    update(QRegion(old) | m_area->rect);
}

void Label::setTextColour(const QColor &colour)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, colour);
    setPalette(palette);
    m_tipColour = colour;
    if (!styleSheet().isEmpty())
        applyTipColour();
}

void Label::applyTipColour()
{
    if (!m_tipColour)
        return;
    setStyleSheet(QStringLiteral("color: rgb(%1, %2, %3);")
                      .arg(m_tipColour->red())
                      .arg(m_tipColour->green())
                      .arg(m_tipColour->blue()));
}

bool Label::event(QEvent *event)
{
    // Before the tip is shown: the tip takes its look from the label's style sheet.
    if (event->type() == QEvent::ToolTip && m_tipColour && styleSheet().isEmpty())
        applyTipColour();
    return QLabel::event(event);
}

void Label::mousePressEvent(QMouseEvent *event)
{
    m_click.press(event);
}

void Label::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_click.release(event, *this))
        emit clicked();
}

} // namespace toolkit
