// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <optional>

class QMenu;
class QShortcut;

namespace toolkit {

// A top-level window laid out in twips, with the services the program's windows share:
// a fixed client size, the window state as a number, a cancel button that Escape clicks,
// and a MouseMove event whose coordinates are in the form's scale (twips).
class Form : public QWidget
{
    Q_OBJECT
public:
    // Window state numbers.
    enum State { Normal = 0, Minimized = 1, Maximized = 2 };
    // Scale modes understood by scaleX().
    enum ScaleMode { Twips = 1, Pixels = 3 };

    explicit Form(QWidget *parent = nullptr);
    ~Form() override;

    // Fixes the client area, in twips; the user cannot resize the window.
    void setFixedClientSizeTwips(double width, double height);
    // Centres the window on the primary screen (before it is first shown, or at any time).
    void centreOnScreen();

    int windowStateNumber() const;
    void setWindowStateNumber(int state);

    // The button that Escape clicks while the window is active; nullptr for none.
    void setCancelButton(QAbstractButton *button);
    QAbstractButton *cancelButton() const { return m_cancelButton; }

    ScaleMode scaleMode() const { return Twips; }
    // Converts a horizontal figure between scale modes (twips and pixels).
    float scaleX(float value, ScaleMode from, ScaleMode to) const;

    // Raises MouseMove as the window would for a mouse movement at (x, y) pixels; the tray
    // shell uses this to hand notification codes to the owner window.
    void raiseMouseMove(short button, short shift, double xPixels, double yPixels);

    // The window's handle and its icon's (windowIcon()), as toolkit::handles hands them out;
    // the icon's is 0 when the window has no icon.
    std::uint32_t hWnd() const;
    std::uint32_t iconHandle() const;

    // A menu (QMenu) or menu item (QAction) of this window by object name; nullptr when it has
    // neither by that name.
    QObject *member(const QString &name) const;
    // The Visible property of a menu (its menuAction()) or item; empty for anything else.
    static std::optional<bool> menuVisible(const QObject *member);

    // Pops up the items of `menu` (a QMenu or an item with a submenu) and returns when the
    // popup has closed; a chosen item's handlers run before that. Flags: 4 centres the popup
    // on the position, 8 puts its right edge there. x and y are in twips from the window's
    // client origin; either one missing takes the mouse position's. `defaultItem` (an item,
    // or a menu's own item) is shown in bold for this popup. False when nothing popped up.
    bool popupMenu(QObject *menu, std::optional<int> flags = {}, std::optional<float> x = {},
                   std::optional<float> y = {}, QObject *defaultItem = nullptr);

    // The menu of this window's tray icons where the notification area draws menus itself
    // (a tray host on the session bus, which never asks the program to pop one up): the
    // host shows its items, their check marks as they stand, and a chosen item triggers
    // its action. nullptr for none.
    void setTrayMenu(QMenu *menu);
    QMenu *trayMenu() const;

signals:
    // Button: 1 left, 2 right, 4 middle (or'ed). X and Y in twips.
    void MouseMove(short &Button, short Shift, float X, float Y);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPointer<QAbstractButton> m_cancelButton;
    QShortcut *m_escape = nullptr;
    QPointer<QMenu> m_trayMenu;
};

} // namespace toolkit
