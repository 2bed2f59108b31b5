// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shutdown of the main window: the tray component, the stored settings, and the
// choice between a normal start and one hidden in the tray.
#include "app/formKelvane.h"

#include "settings/settings_store.h"
#include "settings/stored_values.h"
#include "systray/clsSystray.h"
#include "toolkit/scrollbar.h"
#include "toolkit/twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

// Half of (outer - inner), with the difference rounded to a whole number of twips first and
// the halving truncated toward zero.
double centredOffset(double outer, double inner)
{
    const double difference = std::nearbyint(outer - inner);
    if (!(std::abs(difference) < 2147483648.0))
        return 0;
    return static_cast<double>(static_cast<std::int32_t>(difference) / 2);
}

} // namespace

void formKelvane::Form_Load()
{
    // A second instance has already ended in main, before any window or setting was touched.
    SysTray = std::make_unique<clsSystray>(m_services.shell);
    (void)SysTray->SetOwner(this);
    SysTray->Enabled(true);
    SysTray->Tooltip(windowTitle());

    // A stored text that is no 32-bit number leaves its threshold at 0; no range is checked.
    if (const auto peak = settings::toLong(settings::AutoKelvanePeak.read()))
        AutoKelvanePeak = *peak;
    if (const auto megabytes = settings::toLong(settings::AutoKelvaneMB.read()))
        AutoKelvaneMB = *megabytes;

    InitGraph();
    // Not yet visible: an automatic release may run here already.
    RefreshStatus();
    (void)HScroll1->setValue(HScroll1->maximum());

    m_startsInTray = m_services.commandLine.contains(QStringLiteral("/tray"), Qt::CaseInsensitive)
        || settings::leadingNumber(settings::KelvaneTray.read()) == 1.0;
    // With no notification area at all the window shows instead.
    m_startsInTray = m_startsInTray && trayAvailable();
    if (!m_startsInTray)
        return;
    // To the tray as a minimise would take it there. The window has never been shown, so it
    // is not minimised through the platform: on X11 leaving the minimised state maps the
    // window, and a hide of a window never shown would not take that back.
    ShowTray();
    // When it is shown from the tray it comes back centred on the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const double tppX = toolkit::twipsPerPixelX();
        const double tppY = toolkit::twipsPerPixelY();
        const QSize outer = frameGeometry().size();
        const double left = centredOffset(screen->geometry().width() * tppX, outer.width() * tppX);
        const double top = centredOffset(screen->geometry().height() * tppY, outer.height() * tppY);
        move(screen->geometry().topLeft()
             + QPoint(static_cast<int>(std::lround(left / tppX)), static_cast<int>(std::lround(top / tppY))));
    }
}

void formKelvane::Form_Unload()
{
    // An open setup dialog closes with the program, storing its values as it always does.
    if (m_setup)
        m_setup->close();
    // The window state at this moment: 0 also from the tray, where the hidden window is normal.
    (void)settings::KelvaneTray.write(QString::number(windowStateNumber()));
    if (SysTray)
        (void)SysTray->RemoveIconFromTray();
}
