// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/formKelvaneSetup.h"
#include "systray/clsSystray.h"
#include "toolkit/form.h"

// moc cannot parse the C++20 standard headers behind the memory record; it needs none of it.
#ifndef Q_MOC_RUN
#include "memory/memory_status.h"
#endif

#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>

class QAction;
class QMenu;
class UsageGraph;
class QPushButton;

namespace memory {
class BlockSource;
class Kernel32;
}
namespace toolkit {
class Label;
class NotifyShell;
class PictureBox;
class ScrollBar;
class Shape;
class Timer;
} // namespace toolkit

// What the main window works with, injected so tests can drive it.
struct KelvaneServices
{
    memory::Kernel32 *kernel = nullptr; // the memory status calls; required
    memory::BlockSource *blocks = nullptr; // the release's blocks; nullptr: real mapped blocks
    toolkit::NotifyShell *shell = nullptr; // the notification area; nullptr: the desktop's
    QString commandLine = {};              // the arguments after the program's name, joined by blanks
};

// The main window: usage bar, amount slider, free button, history graph, status line.
class formKelvane final : public toolkit::Form
{
    Q_OBJECT
public:
    explicit formKelvane(const KelvaneServices &services, QWidget *parent = nullptr);
    ~formKelvane() override;

    // Thresholds of the automatic release, in percent and megabytes.
    std::int32_t AutoKelvanePeak = 0;
    std::int32_t AutoKelvaneMB = 0;

    // Start-up, before the window is shown: the tray component, the stored thresholds, the
    // graph, the first refresh, the amount slider at its maximum, and the choice between a
    // normal start and one hidden in the tray ("/tray" on the command line, or closed
    // minimised last time). The caller shows the window unless startsInTray().
    void Form_Load();
    bool startsInTray() const { return m_startsInTray; }
    // Shutdown, from every close: stores the window state and takes the icon out of the tray.
    void Form_Unload();

    // Tray mode: ShowTray puts the icon in the tray and hides the window; HideTray shows the
    // window, takes the icon out and brings the window to the front. Where no notification
    // area could ever show the icon (Wayland without a tray host), ShowTray does nothing; on
    // Wayland HideTray leaves the icon in the tray.
    void ShowTray();
    void HideTray();
    // Pops up the items of objMenu: at the mouse with DefaultMenu in bold when one is given,
    // else at (X, Y) twips in objForm when X + Y > 0, else at the mouse. Returns when the popup
    // has closed, after the chosen item's handler.
    void vbPopupMenu(toolkit::Form *objForm, QObject *objMenu, QObject *DefaultMenu = nullptr, float X = 0,
                     float Y = 0);

    // Minimising hides the window to the tray.
    void Form_Resize();
    // Tray notifications arrive as mouse moves with the code in X (twips): 514, the left button
    // released over the icon, toggles the window; 517, the right one, pops up the tray menu.
    void Form_MouseMove(short &Button, short Shift, float X, float Y);
    void mnuShow_Click();
    void mnuMemSetup_Click();
    void mnuAutoFree_Click();
    void mnuExit_Click();
    void lblCredits_Click();

    // Stop request, raised by every refresh; a release checks it after each step.
    void RefreshStatus();
    // Probes the memory into MemInfo and writes the status line, caption and tray tip.
    void UpdateStatusText();

    // The history graph: prepared once at start-up, one column per Timer2 tick.
    void InitGraph();
    void Timer2_Timer();

    // The free button: starts a release, or on "&Stop" requests the running one to stop.
    void btnFree_Click();
    // Clamps the amount to the slider's maximum and writes the idle caption "Free N MB".
    void HScroll1_Change();

    const memory::MemoryInfo &memInfo() const { return MemInfo; }
    bool stopRequested() const { return StopFree; }
    clsSystray *trayIcon() const { return SysTray.get(); }
    formKelvaneSetup *setupDialog() const { return m_setup; }

signals:
    // The window has been unloaded; the program ends.
    void Unloaded();

protected:
    // A close during a release is put off until the release has given its memory back.
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool trayAvailable() const;
    class ReleaseSteps;
    memory::BlockSource &blockSource();
    void buildControls();
    void buildMenus();
    // The end of every refresh, after the figures: the automatic release check.
    void autoFreeCheck();

    KelvaneServices m_services;
    memory::MemoryInfo MemInfo;
    bool StopFree = false;
    int m_releasesRunning = 0;
    bool m_closeAfterRelease = false;
    std::unique_ptr<UsageGraph> m_graph;
    std::unique_ptr<clsSystray> SysTray;
    QPointer<formKelvaneSetup> m_setup;
    bool m_startsInTray = false;
    bool m_unloaded = false;

    // Controls, named as the rest of the program knows them (also their object names).
    toolkit::Timer *Timer1 = nullptr;
    toolkit::Timer *Timer2 = nullptr;
    toolkit::PictureBox *picStat = nullptr;
    QPushButton *btnFree = nullptr;
    toolkit::ScrollBar *HScroll1 = nullptr;
    toolkit::PictureBox *Picture1 = nullptr;
    toolkit::PictureBox *Picture2 = nullptr;
    toolkit::Label *lblKelvane = nullptr;
    toolkit::Shape *Shape1 = nullptr;
    toolkit::Label *Image1 = nullptr;
    toolkit::Label *lblCredits = nullptr;
    toolkit::Label *lblStatus = nullptr;
    toolkit::Label *Image2 = nullptr;

    QMenu *mnuMain = nullptr;
    QAction *mnuShow = nullptr;
    QAction *mnuMemSetup = nullptr;
    QAction *mnuAutoFree = nullptr;
    QAction *mnuExit = nullptr;
};
