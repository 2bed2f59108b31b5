// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/label.h"

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
    const QRect old = textArea(before);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    QLabel::setText(text);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    update(QRegion(old) | textArea(text));
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
