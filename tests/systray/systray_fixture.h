// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An owner form in the four shapes AddIconToTray tells apart, and a component on a
// recording shell.

#include "systray/clsSystray.h"
#include "tests/support/qt_printers.h"
#include "toolkit/form.h"
#include "toolkit/notifyshell.h"

#include <QAction>
#include <QMenu>
#include <QPixmap>
#include <QStyleOptionMenuItem>

#include <gtest/gtest.h>

#include <memory>

namespace systray_test {

enum class Shape { NoMenu, VisibleMenu, HiddenMenu, HiddenMenuWithDefault };

// Tells how the menu hands an item to its style, which draws a default item in bold.
class ProbeMenu final : public QMenu
{
public:
    using QMenu::QMenu;
    bool drawsBold(const QAction *item) const
    {
        QStyleOptionMenuItem option;
        initStyleOption(&option, item);
        return option.menuItemType == QStyleOptionMenuItem::DefaultItem;
    }
};

class Owner final : public toolkit::Form
{
public:
    explicit Owner(Shape shape)
    {
        QPixmap picture(16, 16);
        picture.fill(Qt::darkGreen);
        setWindowIcon(QIcon(picture));
        if (shape == Shape::NoMenu)
            return;
        mnuTray = new ProbeMenu(this);
        mnuTray->setObjectName(QStringLiteral("mnuTray"));
        mnuOpen = mnuTray->addAction(QStringLiteral("&Open"));
        mnuOpen->setObjectName(shape == Shape::HiddenMenuWithDefault ? QStringLiteral("mnuDefault")
                                                                      : QStringLiteral("mnuOpen"));
        mnuTray->addAction(QStringLiteral("E&xit"));
        mnuTray->menuAction()->setVisible(shape == Shape::VisibleMenu);
    }
    ProbeMenu *mnuTray = nullptr;
    QAction *mnuOpen = nullptr;
};

using Call = toolkit::RecordingNotifyShell::Call;

inline std::uint32_t u32(const Call &call, std::size_t offset) { return toolkit::readU32(call.record, offset); }
inline QString text(const Call &call, std::size_t offset, std::size_t units)
{
    return toolkit::readText(call.record, offset, units);
}

struct SystrayTest : ::testing::Test
{
    toolkit::RecordingNotifyShell shell;
    Owner owner{Shape::HiddenMenuWithDefault};
    std::unique_ptr<clsSystray> tray = std::make_unique<clsSystray>(&shell);
    std::uint32_t hIcon = owner.iconHandle();

    // Bound, enabled, in the tray, shell calls so far forgotten.
    void addIcon(bool enable = true)
    {
        ASSERT_EQ(tray->SetOwner(&owner), 0);
        ASSERT_EQ(tray->AddIconToTray(hIcon, QStringLiteral("Kelvane"), enable), 0);
        shell.clear();
    }
    const Call &last() const { return shell.calls.back(); }
};

} // namespace systray_test
