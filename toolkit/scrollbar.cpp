// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/scrollbar.h"

#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <limits>
#include <optional>

namespace toolkit {
namespace {

bool fits16(int v) { return v >= std::numeric_limits<qint16>::min() && v <= std::numeric_limits<qint16>::max(); }

// A scroll bar that repaints only when its picture changes. The owner refits the maximum at
// every status refresh; over a range of thousands a new maximum seldom moves the thumb by a
// pixel, and then there is nothing to draw.
class ThumbBar final : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if ((change == SliderRangeChange || change == SliderValueChange) && m_shown && look() == *m_shown)
            return;
        QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent *event) override
    {
        m_shown = look();
        QScrollBar::paintEvent(event);
    }

private:
    // What the range and value decide in the picture: where the thumb lies, whether there is
    // a range at all (an empty one greys the bar), and whether the value sits at an end (a
    // style may grey that end's arrow).
    struct Look
    {
        QRect thumb;
        bool empty = false;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &) const = default;
    };
    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
                minimum() == maximum(), value() == minimum(), value() == maximum()};
    }

    std::optional<Look> m_shown;
};

} // namespace

ScrollBar::ScrollBar(QWidget *parent)
    : QWidget(parent)
    , m_bar(new ThumbBar(Qt::Horizontal, this))
{
    // Without tracking the bar reports a drag once, when the thumb is released.
    m_bar->setTracking(false);
    m_bar->setFocusPolicy(Qt::StrongFocus);
    // Qt's scroll bars invert their keys (Left, PageDown raise the value); these bars set an
    // amount, so they answer keys as every slider does: Right, PageUp and End raise it.
    m_bar->setInvertedControls(false);
    setFocusProxy(m_bar);
    syncBar();
    connect(m_bar, &QScrollBar::valueChanged, this, &ScrollBar::onBarValueChanged);
}

bool ScrollBar::setValue(int value)
{
    if (!fits16(value) || value < m_minimum || value > m_maximum)
        return false;
    if (value == m_value)
        return true;
    m_value = value;
    syncBar();
    emit changed();
    return true;
}

bool ScrollBar::setMinimum(int minimum)
{
    if (!fits16(minimum))
        return false;
    m_minimum = minimum;
    syncBar();
    return true;
}

bool ScrollBar::setMaximum(int maximum)
{
    if (!fits16(maximum))
        return false;
    if (maximum == m_maximum)
        return true;
    m_maximum = maximum;
    syncBar();
    return true;
}

void ScrollBar::setSmallChange(int step) { m_bar->setSingleStep(step); }
void ScrollBar::setLargeChange(int step) { m_bar->setPageStep(step); }
int ScrollBar::smallChange() const { return m_bar->singleStep(); }
int ScrollBar::largeChange() const { return m_bar->pageStep(); }

void ScrollBar::resizeEvent(QResizeEvent *) { m_bar->setGeometry(rect()); }

void ScrollBar::syncBar()
{
    // The bar can only show a value inside its range; ours may lie above a lowered maximum.
    m_syncing = true;
    m_bar->setRange(std::min(m_minimum, m_maximum), std::max(m_minimum, m_maximum));
    m_bar->setValue(m_value);
    m_syncing = false;
}

void ScrollBar::onBarValueChanged(int value)
{
    if (m_syncing || value == m_value)
        return;
    m_value = value;
    emit changed();
}

} // namespace toolkit
