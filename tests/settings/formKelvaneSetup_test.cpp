// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/formKelvaneSetup.h"
#include "tests/support/qt_printers.h"
#include "tests/support/settings_folder.h"
#include "toolkit/scrollbar.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>

#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace {

struct SetupDialogTest : ::testing::Test, SettingsFolder
{
    // The dialog as the main window opens it.
    formKelvaneSetup &open()
    {
        dialog = std::make_unique<formKelvaneSetup>();
        dialog->Form_Load();
        return *dialog;
    }
    QScrollBar *bar(const char *name) const { return dialog->findChild<toolkit::ScrollBar *>(name)->bar(); }
    QString caption(const char *name) const { return dialog->findChild<QLabel *>(name)->text(); }

    std::unique_ptr<formKelvaneSetup> dialog;
};

TEST_F(SetupDialogTest, closingSavesTheShownValuesAndHandsThemBackOnceOnlyWhenAsked)
{
    ASSERT_TRUE(store("AutoKelvanePeak", "60"));
    for (const bool update : { false, true }) {
        dialog = std::make_unique<formKelvaneSetup>();
        dialog->UpdateKelvane = true;
        dialog->Form_Load();
        EXPECT_FALSE(dialog->UpdateKelvane);
        dialog->UpdateKelvane = update;
        QSignalSpy unloaded(dialog.get(), &formKelvaneSetup::Unloaded);
        bar("HScroll2")->triggerAction(QAbstractSlider::SliderPageStepAdd); // from the default 10
        // Never shown, so each close() delivers a close event; only the first one unloads.
        EXPECT_TRUE(dialog->close());
        EXPECT_TRUE(dialog->close());
        EXPECT_EQ(unloaded.count(), update ? 1 : 0);
        EXPECT_EQ(unloaded.value(0), (update ? QVariantList { 60, 26 } : QVariantList {})) << update;
        EXPECT_EQ(stored("AutoKelvanePeak"), "60");
        EXPECT_EQ(stored("AutoKelvaneMB"), "26");
        ASSERT_TRUE(store("AutoKelvaneMB", "10"));
    }
}

TEST_F(SetupDialogTest, storedValuesOutsideTheRangeOrUnreadableKeepTheDefault)
{
    // Key, stored text (the ends of each range and past them), value shown.
    const std::tuple<const char *, const char *, int> cases[] = { { "AutoKelvanePeak", "101", 95 },
        { "AutoKelvanePeak", "abc", 95 }, { "AutoKelvanePeak", "49", 95 }, { "AutoKelvanePeak", "50", 50 },
        { "AutoKelvanePeak", "100", 100 }, { "AutoKelvaneMB", "1025", 10 }, { "AutoKelvaneMB", "1", 1 },
        { "AutoKelvaneMB", "1024", 1024 }, { "AutoKelvaneMB", "0", 10 } };
    for (const auto &[key, text, value] : cases) {
        SCOPED_TRACE(std::string(key) + '=' + text);
        ASSERT_TRUE(store(key, text));
        const bool peak = key == std::string_view("AutoKelvanePeak");
        open();
        EXPECT_EQ(bar(peak ? "HScroll1" : "HScroll2")->value(), value);
        EXPECT_EQ(caption(peak ? "lblPeakLevel" : "lblKelvane"), QString::number(value) + (peak ? "%" : "MB"));
        dialog->close();
        EXPECT_EQ(stored(key), QString::number(value));
    }
}

TEST_F(SetupDialogTest, stepsStopAtTheEndsAndCaptionsFollowCompletedChangesOnly)
{
    using A = QAbstractSlider;
    const std::tuple<const char *, const char *, A::SliderAction, const char *> cases[] = {
        { "HScroll1", "lblPeakLevel", A::SliderPageStepAdd, "96%" },
        { "HScroll2", "lblKelvane", A::SliderPageStepAdd, "26MB" },
        { "HScroll2", "lblKelvane", A::SliderPageStepSub, "1MB" } };
    for (const auto &[scrollBar, label, action, expected] : cases) {
        open();
        bar(scrollBar)->triggerAction(action);
        EXPECT_EQ(caption(label), expected) << scrollBar << ' ' << action;
    }
    QScrollBar *thumb = bar("HScroll2");
    thumb->setSliderDown(true);
    thumb->setSliderPosition(500);
    EXPECT_EQ(caption("lblKelvane"), "1MB");
    thumb->setSliderDown(false);
    EXPECT_EQ(caption("lblKelvane"), "500MB");
}

} // namespace
