// SPDX-License-Identifier: GPL-3.0-or-later
// The status display and the periodic refresh of the main window.
#include "app/formKelvane.h"

#include "app/status_texts.h"
#include "systray/clsSystray.h"
#include "toolkit/label.h"
#include "toolkit/picturebox.h"
#include "toolkit/scrollbar.h"
#include "toolkit/twips.h"

using namespace toolkit;

void formKelvane::UpdateStatusText()
{
    MemInfo = memory::GetMemoryStatus(*m_services.kernel);
    const StatusTexts texts = statusTexts(MemInfo);

    // Each display keeps what it showed when its figure cannot be computed.
    if (texts.statusLine)
        lblStatus->setText(*texts.statusLine);
    lblStatus->setToolTip(texts.statusTip);
    setWindowTitle(texts.caption);
    // The tray tip: the caption just written and the usage, on two lines.
    if (SysTray && texts.usageLine)
        SysTray->Tooltip(windowTitle() + QLatin1Char('\n') + *texts.usageLine);
}

void formKelvane::RefreshStatus()
{
    StopFree = true;
    UpdateStatusText();

    if (const auto maximum = sliderMaximum(MemInfo))
        (void)HScroll1->setMaximum(*maximum);
    if (HScroll1->value() > HScroll1->maximum())
        (void)HScroll1->setValue(HScroll1->maximum());

    const BarTexts bar = barTexts(MemInfo);
    if (const auto free = freeFraction(MemInfo)) {
        // The bar starts two pixels up and left so its own border is cut off by the frame.
        moveTwips(Picture2, -2 * twipsPerPixelX(), -2 * twipsPerPixelY(), *free * widthTwips(Picture1));
        moveTwips(lblKelvane, 0, topTwips(lblKelvane), widthTwips(Picture2));
        lblKelvane->setText(*bar.text);
    }
    lblKelvane->setToolTip(bar.tip);

    autoFreeCheck();
}
