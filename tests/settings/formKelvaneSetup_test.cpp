// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/formKelvaneSetup.h"
#include "settings/settings_store.h"
#include "tests/support/qt_printers.h"
#include "toolkit/scrollbar.h"

#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

namespace {

QString stored(const char *key)
{
    return settings::GetSetting("Copperline", "Settings", key, "<none>");
}

// Each test has an empty settings folder of its own; the caller's comes back afterwards.
struct SetupDialogTest : ::testing::Test
{
    SetupDialogTest() { qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit()); }
    ~SetupDialogTest() override
    {
        hadHome ? void(qputenv("XDG_CONFIG_HOME", savedHome)) : void(qunsetenv("XDG_CONFIG_HOME"));
    }

    // The dialog as the main window opens it.
    formKelvaneSetup &open()
    {
        dialog = std::make_unique<formKelvaneSetup>();
        dialog->Form_Load();
        return *dialog;
    }
    QScrollBar *bar(const char *name) const { return dialog->findChild<toolkit::ScrollBar *>(name)->bar(); }
    QString caption(const char *name) const { return dialog->findChild<QLabel *>(name)->text(); }

    const bool hadHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray savedHome = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir home;
    std::unique_ptr<formKelvaneSetup> dialog;
};

TEST_F(SetupDialogTest, emptyStoreShowsDefaultsAndClosingSavesAndHandsThemBackOnce)
{
    dialog = std::make_unique<formKelvaneSetup>();
    dialog->UpdateKelvane = true;
    dialog->Form_Load();
    EXPECT_FALSE(dialog->UpdateKelvane);
    EXPECT_EQ(caption("lblPeakLevel"), "95%");
    EXPECT_EQ(caption("lblKelvane"), "10MB");
    QSignalSpy unloaded(dialog.get(), &formKelvaneSetup::Unloaded);
    dialog->UpdateKelvane = true;
    // Never shown, so each close() delivers a close event; only the first one unloads.
    EXPECT_TRUE(dialog->close());
    EXPECT_TRUE(dialog->close());
    ASSERT_EQ(unloaded.count(), 1);
    EXPECT_EQ(unloaded[0], (QVariantList { 95, 10 }));
    EXPECT_EQ(stored("AutoKelvanePeak"), "95");
    EXPECT_EQ(stored("AutoKelvaneMB"), "10");
}

TEST_F(SetupDialogTest, closingSavesTheCurrentValuesAndHandsThemBackOnlyWhenAsked)
{
    ASSERT_TRUE(settings::SaveSetting("Copperline", "Settings", "AutoKelvanePeak", "60"));
    for (const bool update : { false, true }) {
        open().UpdateKelvane = update;
        QSignalSpy unloaded(dialog.get(), &formKelvaneSetup::Unloaded);
        bar("HScroll2")->triggerAction(QAbstractSlider::SliderPageStepAdd);
        dialog->show();
        EXPECT_TRUE(dialog->close());
        EXPECT_EQ(unloaded.count(), update ? 1 : 0);
        EXPECT_EQ(unloaded.value(0), (update ? QVariantList { 60, 26 } : QVariantList {})) << update;
        EXPECT_EQ(stored("AutoKelvanePeak"), "60");
        EXPECT_EQ(stored("AutoKelvaneMB"), "26");
        (void)settings::SaveSetting("Copperline", "Settings", "AutoKelvaneMB", "10");
    }
}

TEST_F(SetupDialogTest, storedValuesOutsideTheRangeOrUnreadableKeepTheDefault)
{
    const struct
    {
        const char *key, *text;
        int value;
        const char *caption;
    } cases[] = { { "AutoKelvanePeak", "87", 87, "87%" }, { "AutoKelvanePeak", "120", 95, "95%" },
        { "AutoKelvanePeak", "abc", 95, "95%" }, { "AutoKelvanePeak", "49", 95, "95%" },
        { "AutoKelvanePeak", "50", 50, "50%" }, { "AutoKelvanePeak", "100", 100, "100%" },
        { "AutoKelvaneMB", "2000", 10, "10MB" }, { "AutoKelvaneMB", "1", 1, "1MB" },
        { "AutoKelvaneMB", "1024", 1024, "1024MB" }, { "AutoKelvaneMB", "0", 10, "10MB" },
        { "AutoKelvaneMB", "40000", 10, "10MB" } };
    for (const auto &c : cases) {
        ASSERT_TRUE(settings::SaveSetting("Copperline", "Settings", c.key, c.text));
        const bool peak = c.key == std::string_view("AutoKelvanePeak");
        open();
        EXPECT_EQ(bar(peak ? "HScroll1" : "HScroll2")->value(), c.value) << c.key << '=' << c.text;
        EXPECT_EQ(caption(peak ? "lblPeakLevel" : "lblKelvane"), c.caption) << c.key << '=' << c.text;
        dialog->close();
        EXPECT_EQ(stored(c.key), QString::number(c.value)) << c.key << '=' << c.text;
    }
}

TEST_F(SetupDialogTest, stepsStopAtTheEndsAndCaptionsFollowCompletedChangesOnly)
{
    using A = QAbstractSlider;
    const struct
    {
        const char *bar, *label;
        A::SliderAction action;
        const char *caption;
    } cases[] = { { "HScroll1", "lblPeakLevel", A::SliderPageStepAdd, "96%" },
        { "HScroll1", "lblPeakLevel", A::SliderToMinimum, "50%" },
        { "HScroll1", "lblPeakLevel", A::SliderToMaximum, "100%" },
        { "HScroll2", "lblKelvane", A::SliderPageStepAdd, "26MB" },
        { "HScroll2", "lblKelvane", A::SliderPageStepSub, "1MB" },
        { "HScroll2", "lblKelvane", A::SliderToMaximum, "1024MB" } };
    for (const auto &c : cases) {
        open();
        bar(c.bar)->triggerAction(c.action);
        EXPECT_EQ(caption(c.label), c.caption) << c.bar << ' ' << c.action;
    }
    QScrollBar *thumb = bar("HScroll2");
    thumb->setSliderDown(true);
    thumb->setSliderPosition(500);
    EXPECT_EQ(caption("lblKelvane"), "1024MB");
    thumb->setSliderDown(false);
    EXPECT_EQ(caption("lblKelvane"), "500MB");
}

TEST_F(SetupDialogTest, isAFixedToolWindowWithPeakLevelFirstInTabOrder)
{
    open();
    EXPECT_EQ(dialog->windowType(), Qt::Tool);
    EXPECT_FALSE(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog->minimumSize(), QSize(249, 105));
    EXPECT_EQ(dialog->maximumSize(), QSize(249, 105));
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), bar("HScroll1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), bar("HScroll2"));
}

TEST_F(SetupDialogTest, chipPictureIsA32PixelIconLitFromTheTopLeft)
{
    const QImage chip = open().findChild<QLabel *>("Image1")->pixmap().toImage();
    ASSERT_EQ(chip.size(), QSize(32, 32));
    QSet<QRgb> colours;
    int top = -1, bottom = -1; // first and last opaque pixels down the middle column
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            colours.insert(chip.pixel(x, y));
        if (qAlpha(chip.pixel(16, y)) == 255)
            (top < 0 ? top : bottom) = y;
    }
    EXPECT_GE(colours.size(), 6);
    EXPECT_LE(colours.size(), 256);
    ASSERT_GT(bottom, top);
    EXPECT_GT(chip.pixelColor(16, top).lightness(), chip.pixelColor(16, bottom).lightness() + 100);
}

} // namespace
