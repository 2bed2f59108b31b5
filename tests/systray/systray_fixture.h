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

#include <gtest/gtest.h>

#include <memory>

namespace systray_test {

using namespace toolkit;

enum class Shape { NoMenu, VisibleMenu, HiddenMenu, HiddenMenuWithDefault };

class Owner final : public Form
{
public:
    explicit Owner(Shape shape)
    {
        QPixmap picture(16, 16);
        picture.fill(Qt::darkGreen);
        setWindowIcon(QIcon(picture));
        if (shape == Shape::NoMenu)
            return;
        mnuTray = new QMenu(this);
        mnuTray->setObjectName(QStringLiteral("mnuTray"));
        mnuOpen = mnuTray->addAction(QStringLiteral("&Open"));
        mnuOpen->setObjectName(shape == Shape::HiddenMenuWithDefault ? QStringLiteral("mnuDefault")
                                                                      : QStringLiteral("mnuOpen"));
        mnuTray->addAction(QStringLiteral("E&xit"));
        mnuTray->menuAction()->setVisible(shape == Shape::VisibleMenu);
    }
    QMenu *mnuTray = nullptr;
    QAction *mnuOpen = nullptr;
};

using Messages = std::vector<std::uint32_t>;

// A component on a recording shell and an owner it is not yet bound to.
struct Rig
{
    explicit Rig(Shape shape = Shape::HiddenMenuWithDefault)
        : owner(shape)
    {
    }
    RecordingNotifyShell shell;
    Owner owner;
    std::unique_ptr<clsSystray> tray = std::make_unique<clsSystray>(&shell);
    std::uint32_t hIcon = owner.iconHandle();

    // Bound and in the tray, shell calls so far forgotten.
    void addIcon(bool enable = true)
    {
        ASSERT_EQ(tray->SetOwner(&owner), 0);
        ASSERT_EQ(tray->AddIconToTray(hIcon, QStringLiteral("Kelvane"), enable), 0);
        shell.clear();
    }
    // A field of the last record sent.
    std::uint32_t last(std::size_t offset) const { return readU32(shell.calls.back().record, offset); }
    QString lastText(std::size_t offset, std::size_t units) const
    {
        return readText(shell.calls.back().record, offset, units);
    }
};

struct SystrayTest : ::testing::Test, Rig
{
};

} // namespace systray_test
