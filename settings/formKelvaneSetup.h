// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/form.h"

#include <cstdint>

class QLabel;

namespace toolkit {
class ScrollBar;
}

// The automatic release's setup: the peak memory level (50 to 100 %) at which a release
// starts and the megabytes it frees (1 to 1024), loaded from and saved to the settings.
// The opener constructs it, calls Form_Load() once and shows it; closing it saves both
// values and, when UpdateKelvane is set, hands them back through Unloaded().
class formKelvaneSetup final : public toolkit::Form
{
    Q_OBJECT
public:
    explicit formKelvaneSetup(QWidget *parent = nullptr);
    ~formKelvaneSetup() override;

    // Set by the opener when the values closing the dialog should take effect at once.
    bool UpdateKelvane = false;

    // Shows the stored values; a stored value that is not a number in the scroll bar's
    // range leaves its default (95 %, 10 MB). Clears UpdateKelvane.
    void Form_Load();

    // The captions follow their scroll bar's completed changes.
    void HScroll1_Change();
    void HScroll2_Change();

signals:
    // Raised on closing when UpdateKelvane is set, with the values the dialog closes with.
    void Unloaded(std::int32_t peak, std::int32_t megabytes);

protected:
    // Form_Unload: saves both values and raises Unloaded. The close always proceeds.
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();

    // A second close() can deliver another close event (always so before the dialog was
    // first shown); only the first one unloads. Showing the dialog again re-arms it.
    bool m_unloaded = false;

    // Controls, named as the rest of the program knows them (also their object names).
    toolkit::ScrollBar *HScroll2 = nullptr;
    toolkit::ScrollBar *HScroll1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *lblKelvane = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *lblPeakLevel = nullptr;
    QLabel *Label1 = nullptr;
};
