// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QScrollBar;

namespace toolkit {

// A horizontal scroll bar with 16-bit semantics.
//
// Minimum, maximum and value are 16-bit signed numbers; an assignment outside that range,
// or a value outside minimum..maximum, is refused (false) and changes nothing. Lowering the
// maximum below the value leaves the value where it was until the owner clamps it.
// changed() fires after every completed change of the value: an arrow click, a click in the
// track, a key, the end of a thumb drag, and an assignment from code that changes the value.
// It does not fire while the thumb is being dragged.
class ScrollBar final : public QWidget
{
    Q_OBJECT
public:
    explicit ScrollBar(QWidget *parent = nullptr);

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    [[nodiscard]] bool setValue(int value);
    [[nodiscard]] bool setMinimum(int minimum);
    [[nodiscard]] bool setMaximum(int maximum);
    void setSmallChange(int step);
    void setLargeChange(int step);
    int smallChange() const;
    int largeChange() const;

    // The underlying widget, for tests and styling.
    QScrollBar *bar() const { return m_bar; }

signals:
    void changed();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void syncBar();
    void onBarValueChanged(int value);

    QScrollBar *m_bar = nullptr;
    int m_minimum = 0;
    int m_maximum = 32767;
    int m_value = 0;
    bool m_syncing = false;
};

} // namespace toolkit
