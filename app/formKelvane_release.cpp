// SPDX-License-Identifier: GPL-3.0-or-later
// The memory release of the main window: the free button, the amount slider's caption and
// closing the window while a release holds memory.
#include "app/formKelvane.h"

#include "memory/system_memory.h"
#include "memory/release_engine.h"
#include "toolkit/events.h"
#include "toolkit/label.h"
#include "toolkit/numberformat.h"
#include "toolkit/picturebox.h"
#include "toolkit/scrollbar.h"
#include "toolkit/timer.h"
#include "toolkit/twips.h"

#include <QCloseEvent>
#include <QPushButton>

using namespace toolkit;

namespace {

const QString stopCaption = QStringLiteral("&Stop");

} // namespace

// Each step of a release as the window shows it.
class formKelvane::ReleaseSteps final : public memory::ReleaseHost
{
public:
    explicit ReleaseSteps(formKelvane &form)
        : m_form(form)
    {
    }

    void progress(int step, int amount) override
    {
        // The usage bar becomes the progress bar, full at the last step; the quotient is
        // single precision like the bar's own width.
        const float share = static_cast<float>(step) / static_cast<float>(amount);
        const float width = share * static_cast<float>(widthTwips(m_form.Picture1));
        moveTwips(m_form.Picture2, -2 * twipsPerPixelX(), -2 * twipsPerPixelY(), static_cast<double>(width));
    }
    void updateStatus() override { m_form.UpdateStatusText(); }
    void processPendingEvents() override { doEvents(); }
    bool stopRequested() override { return m_form.StopFree; }

private:
    formKelvane &m_form;
};

memory::BlockSource &formKelvane::blockSource()
{
    if (m_services.blocks)
        return *m_services.blocks;
    static const auto system = memory::systemBlockSource();
    return *system;
}

void formKelvane::btnFree_Click()
{
    // The caption is the only sign of a release in progress: this click asks it to stop,
    // and the release sees the request when its event turn returns.
    if (btnFree->text() == stopCaption) {
        RefreshStatus();
        return;
    }

    btnFree->setText(stopCaption);
    setCancelButton(btnFree);
    HScroll1->setEnabled(false);
    setWindowTitle(QStringLiteral("Trying to Kelvane..."));
    Timer1->setEnabled(false);
    lblKelvane->setText(QString());
    UpdateStatusText();
    StopFree = false;
    const auto amount = static_cast<std::int16_t>(HScroll1->value());

    ++m_releasesRunning;
    {
        ReleaseSteps steps(*this);
        // Returns only after every block it took has been given back.
        (void)memory::runRelease(amount, steps, blockSource());
    }
    --m_releasesRunning;

    RefreshStatus();
    Timer1->setEnabled(true);
    setCancelButton(nullptr);
    HScroll1->setEnabled(true);
    HScroll1_Change();

    // A close that came during the release happens now, once, after whoever called this
    // handler (a click, the automatic release) has returned.
    if (m_closeAfterRelease && m_releasesRunning == 0) {
        m_closeAfterRelease = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void formKelvane::HScroll1_Change()
{
    if (HScroll1->value() > HScroll1->maximum())
        (void)HScroll1->setValue(HScroll1->maximum());
    // A refresh during a run may clamp the slider; "&Stop" must stay, or the next click or
    // Escape would start a second run inside the first instead of stopping it. The run
    // writes the idle caption itself when it ends.
    if (m_releasesRunning > 0)
        return;
    // In the locale's digits, as every other figure of the window.
    btnFree->setText(QStringLiteral("Free ") + toolkit::formatNumber(HScroll1->value(), u"0") + QStringLiteral(" MB"));
}

void formKelvane::closeEvent(QCloseEvent *event)
{
    // The release watches only StopFree; closing under it would leave its memory held
    // and its steps writing to a window that is going away.
    if (m_releasesRunning > 0) {
        StopFree = true;
        m_closeAfterRelease = true;
        event->ignore();
        return;
    }
    toolkit::Form::closeEvent(event);
    // A second close (a signal after "Exit", say) finds the work done.
    if (m_unloaded)
        return;
    m_unloaded = true;
    Form_Unload();
    emit Unloaded();
}
