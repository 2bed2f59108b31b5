// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic release at the memory peak, and the setup dialog that sets its thresholds.
#include "app/formKelvane.h"

#include "app/status_texts.h"
#include "toolkit/desktop.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"

#include <QAction>

#include <limits>

void formKelvane::autoFreeCheck()
{
    // Only from the tray: while the window is shown the user frees by hand. This also keeps
    // the refresh at the end of an automatic release from starting another.
    if (!mnuAutoFree->isChecked() || isVisible())
        return;
    const auto free = freeFraction(MemInfo);
    if (!free)
        return;
    // Usage at or above the peak, equality included.
    if (*free > 1.0 - static_cast<double>(AutoKelvanePeak) / 100.0)
        return;

    HideTray();
    // An amount beyond 16 bits or above the slider's maximum is refused; the release then
    // takes the slider's current amount.
    if (AutoKelvaneMB >= std::numeric_limits<std::int16_t>::min() && AutoKelvaneMB <= std::numeric_limits<std::int16_t>::max())
        (void)HScroll1->setValue(AutoKelvaneMB);
    btnFree_Click();
    ShowTray();
}

void formKelvane::mnuMemSetup_Click()
{
    // No timed refresh, and so no automatic release, while the thresholds are being set.
    Timer1->setEnabled(false);
    if (!m_setup) {
        // A fresh dialog at each opening, so it starts from the stored values.
        m_setup = new formKelvaneSetup();
        m_setup->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_setup, &formKelvaneSetup::Unloaded, this, [this](std::int32_t peak, std::int32_t megabytes) {
            AutoKelvanePeak = peak;
            AutoKelvaneMB = megabytes;
            Timer1->setEnabled(true);
        });
        m_setup->Form_Load();
    }
    m_setup->show();
    toolkit::setForegroundWindow(m_setup);
    m_setup->UpdateKelvane = true;
}
