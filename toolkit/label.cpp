// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/label.h"

#include <QEvent>
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

void Label::setText(const QString &text)
{
    const QString before = QLabel::text();
    if (text == before)
        return;
    // Plain text only, as the status texts are; a picture, rich text or an indent takes the
    // whole label.
    const bool plain = pixmap().isNull() && indent() <= 0 && (textFormat() == Qt::PlainText
        || (textFormat() == Qt::AutoText && !Qt::mightBeRichText(before) && !Qt::mightBeRichText(text)));
    if (!plain || !isVisible() || !updatesEnabled()) {
        QLabel::setText(text);
        return;
    }
    // The old text's place was found when it was set, in the same layout; laying out a text
    // costs about as much as drawing it.
    const Area now{before, contentsRect(), alignment(), wordWrap(), margin(), font(), {}};
    const QRect old = m_area && m_area->sameLayout(now) ? m_area->rect : textArea(before);
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
    // Taken here so the press and its release do not also click the container.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Label::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

} // namespace toolkit
