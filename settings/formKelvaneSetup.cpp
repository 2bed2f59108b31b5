// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/formKelvaneSetup.h"

#include "settings/settings_store.h"
#include "settings/setup_artwork.h"
#include "settings/stored_values.h"
#include "toolkit/layout.h"
#include "toolkit/numberformat.h"
#include "toolkit/scrollbar.h"
#include "toolkit/twips.h"

#include <QCloseEvent>
#include <QLabel>

#include <algorithm>

using toolkit::fontOf;
using toolkit::place;

namespace {

// A caption on an opaque ground of the given role, top-left aligned like the dialog's others.
QLabel *caption(QWidget *parent, const QString &text, QPalette::ColorRole ground = QPalette::Window)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setBackgroundRole(ground);
    label->setAutoFillBackground(true);
    return label;
}

// The layout leaves room for a narrow dialog font; under a wider one a fixed caption would be
// cut off at its label's edge, so it is set narrower, down to condensed, until it fits.
void fitWidth(QLabel *label)
{
    const int room = label->contentsRect().width() - std::max(label->indent(), 0);
    QFont font = label->font();
    int stretch = QFont::Unstretched;
    while (stretch > QFont::Condensed && QFontMetrics(font).horizontalAdvance(label->text()) > room) {
        stretch -= 5;
        font.setStretch(stretch);
    }
    if (stretch != QFont::Unstretched)
        label->setFont(font);
}

// Assigns a stored value; text that is no 16-bit number, or a number outside the bar's
// range, is refused and the bar keeps its value.
void loadInto(toolkit::ScrollBar *bar, const settings::StoredValue &stored)
{
    if (const auto value = settings::toShort(stored.read()))
        (void)bar->setValue(*value);
}

// A bar over the dialog's range of `stored`, at its default.
void setRange(toolkit::ScrollBar *bar, const settings::StoredValue &stored)
{
    (void)bar->setMinimum(stored.minimum);
    (void)bar->setMaximum(stored.maximum);
    (void)bar->setValue(stored.defaultText.toInt());
}

} // namespace

formKelvaneSetup::formKelvaneSetup(QWidget *parent)
    : toolkit::Form(parent)
{
    setObjectName(QStringLiteral("formKelvaneSetup"));
    setWindowTitle(QStringLiteral("Setup Auto Kelvane"));
    // A fixed tool window: small caption with a close button only, no taskbar entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon());
    // The classic dialog font size; the two figures have a font of their own.
    QFont dialogFont = font();
    dialogFont.setPointSizeF(8.25);
    setFont(dialogFont);
    setFixedClientSizeTwips(3735, 1575);
    buildControls();
    centreOnScreen();
}

formKelvaneSetup::~formKelvaneSetup() = default;

void formKelvaneSetup::buildControls()
{
    // Created bottom of the stacking order first: the labels, then the scroll bars, which
    // lie above the captions they touch. The figures lie above the captions left of them.
    Label1 = caption(this, QStringLiteral("Peak Memory Level:"));
    place(Label1, "Label1", 540, 135, 1560, 285);

    lblPeakLevel = caption(this, QString());
    lblPeakLevel->setFont(fontOf(QStringLiteral("MS Sans Serif"), 12, 700));
    place(lblPeakLevel, "lblPeakLevel", 2550, 75, 960, 270);

    Label3 = caption(this, QStringLiteral("Amount of Memory to Free :"));
    place(Label3, "Label3", 555, 705, 1995, 285);

    lblKelvane = caption(this, QString());
    lblKelvane->setFont(fontOf(QStringLiteral("MS Sans Serif"), 12, 700));
    place(lblKelvane, "lblKelvane", 2505, 645, 1095, 270);

    // The tip on the info ground; its text takes the matching colour so it stays legible
    // under dark themes.
    Label5 = caption(this, QStringLiteral("Tip: Recomended values 95% and 10MB"), QPalette::ToolTipBase);
    Label5->setForegroundRole(QPalette::ToolTipText);
    Label5->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label5->setLineWidth(1);
    Label5->setIndent(2);
    place(Label5, "Label5", 0, 1290, 3750, 255);

    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap::fromImage(setupChipIcon()));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Image1, "Image1", 30, 30, 480, 480);

    HScroll1 = new toolkit::ScrollBar(this);
    setRange(HScroll1, settings::AutoKelvanePeak);
    HScroll1->setSmallChange(1);
    HScroll1->setLargeChange(1);
    place(HScroll1, "HScroll1", 540, 405, 3060, 150);

    HScroll2 = new toolkit::ScrollBar(this);
    setRange(HScroll2, settings::AutoKelvaneMB);
    HScroll2->setSmallChange(1);
    HScroll2->setLargeChange(16);
    place(HScroll2, "HScroll2", 540, 975, 3060, 165);

    for (QLabel *label : { Label1, Label3, Label5 })
        fitWidth(label);

    connect(HScroll1, &toolkit::ScrollBar::changed, this, &formKelvaneSetup::HScroll1_Change);
    connect(HScroll2, &toolkit::ScrollBar::changed, this, &formKelvaneSetup::HScroll2_Change);
    HScroll1_Change();
    HScroll2_Change();
    setTabOrder(HScroll1, HScroll2);
}

void formKelvaneSetup::Form_Load()
{
    loadInto(HScroll1, settings::AutoKelvanePeak);
    loadInto(HScroll2, settings::AutoKelvaneMB);
    UpdateKelvane = false;
}

void formKelvaneSetup::HScroll1_Change()
{
    lblPeakLevel->setText(toolkit::formatNumber(HScroll1->value(), u"0") + QLatin1Char('%'));
}

void formKelvaneSetup::HScroll2_Change()
{
    lblKelvane->setText(toolkit::formatNumber(HScroll2->value(), u"0") + QStringLiteral("MB"));
}

void formKelvaneSetup::showEvent(QShowEvent *event)
{
    m_unloaded = false;
    toolkit::Form::showEvent(event);
}

void formKelvaneSetup::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_unloaded)
        return;
    m_unloaded = true;
    // A value that cannot be stored keeps the stored one; the dialog closes regardless.
    (void)settings::AutoKelvanePeak.write(QString::number(HScroll1->value()));
    (void)settings::AutoKelvaneMB.write(QString::number(HScroll2->value()));
    if (UpdateKelvane)
        emit Unloaded(HScroll1->value(), HScroll2->value());
}
