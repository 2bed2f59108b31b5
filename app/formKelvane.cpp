// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/formKelvane.h"

#include "app/artwork.h"
#include "app/usage_graph.h"
#include "toolkit/label.h"
#include "toolkit/layout.h"
#include "toolkit/picturebox.h"
#include "toolkit/scrollbar.h"
#include "toolkit/shape.h"
#include "toolkit/timer.h"
#include "toolkit/twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

using toolkit::fontOf;
using toolkit::place;

namespace {

// The README the credits link opens: the one installed with this binary (found from the
// binary's own folder, so an install to any prefix works), else the source tree's when the
// program runs from its build folder, else where the package puts it.
QString creditsAddress()
{
    const QString installed = QStringLiteral(KELVANE_README_INSTALLED);
    const QString candidates[] = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/" KELVANE_README_FROM_BINDIR),
        QStringLiteral(KELVANE_README_SOURCE),
        installed,
    };
    for (const QString &file : candidates) {
        if (QFileInfo(file).isFile())
            return QUrl::fromLocalFile(QDir::cleanPath(file)).toString(QUrl::FullyEncoded);
    }
    return QUrl::fromLocalFile(installed).toString(QUrl::FullyEncoded);
}

} // namespace

formKelvane::formKelvane(const KelvaneServices &services, QWidget *parent)
    : toolkit::Form(parent)
    , m_services(services)
{
    Q_ASSERT(m_services.kernel);
    setObjectName(QStringLiteral("formKelvane"));
    setWindowTitle(QStringLiteral("Kelvane"));
    // Drawn afresh at each size asked for; the tray gets the same icon through its handle.
    setWindowIcon(programIconSet());
    // The classic dialog font size; controls with a font of their own override it.
    QFont dialogFont = font();
    dialogFont.setPointSizeF(8.25);
    setFont(dialogFont);
    setFixedClientSizeTwips(4680, 1710);
    buildControls();
    buildMenus();
    centreOnScreen();
}

formKelvane::~formKelvane()
{
    // The setup dialog has no owner; it must not outlive the window whose values it sets.
    delete m_setup;
}

void formKelvane::buildControls()
{
    Timer2 = new toolkit::Timer(1000, this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer1 = new toolkit::Timer(3000, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &formKelvane::RefreshStatus);

    // Created bottom of the stacking order first: the decoration and the labels, then the
    // windowed controls, which always lie above them.
    Image2 = new toolkit::Label(this);
    Image2->setPixmap(QPixmap::fromImage(bottomStrip()));
    Image2->setScaledContents(true);
    place(Image2, "Image2", -15, 1305, 4770, 480);

    lblStatus = new toolkit::Label(this);
    lblStatus->setWordWrap(true);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lblStatus, "lblStatus", -15, 1035, 4155, 420);
    // A second line would lie under the credits strip: on a machine of a terabyte or more the
    // status line is drawn smaller instead.
    lblStatus->setFitsOneLine();
    connect(lblStatus, &toolkit::Label::clicked, this, &formKelvane::RefreshStatus);

    lblCredits = new toolkit::Label(this);
    lblCredits->setText(QStringLiteral("Kelvane credits"));
    lblCredits->setToolTip(creditsAddress());
    lblCredits->setFont(fontOf(QStringLiteral("MS Sans Serif"), 8.25, 400, true));
    lblCredits->setTextColour(QColor(0, 0, 255));
    lblCredits->setCursor(Qt::PointingHandCursor);
    place(lblCredits, "lblCredits", 45, 1410, 1620, 225);
    connect(lblCredits, &toolkit::Label::clicked, this, &formKelvane::lblCredits_Click);

    Image1 = new toolkit::Label(this);
    Image1->setPixmap(QPixmap::fromImage(programIcon()));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Image1, "Image1", 4110, 960, 480, 480);

    Shape1 = new toolkit::Shape(QColor(192, 192, 255), QColor(255, 255, 255), this);
    place(Shape1, "Shape1", 75, 30, 2775, 435);

    Picture1 = new toolkit::PictureBox(this);
    Picture1->setBackColor(QColor(255, 255, 255));
    place(Picture1, "Picture1", 90, 75, 2745, 345);
    connect(Picture1, &toolkit::PictureBox::clicked, this, &formKelvane::RefreshStatus);

    Picture2 = new toolkit::PictureBox(Picture1);
    Picture2->setBackColor(QColor(192, 192, 255));
    Picture2->setBorder(true);
    place(Picture2, "Picture2", -30, -15, 660, 360);
    connect(Picture2, &toolkit::PictureBox::clicked, this, &formKelvane::RefreshStatus);

    lblKelvane = new toolkit::Label(Picture2);
    lblKelvane->setText(QStringLiteral("0%"));
    lblKelvane->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblKelvane->setFont(fontOf(QStringLiteral("Tahoma"), 9.75, 700));
    lblKelvane->setForegroundRole(QPalette::HighlightedText);
    place(lblKelvane, "lblKelvane", 30, 60, 615, 225);
    // The percentage sits on the usage bar; a click on it is a click on the bar.
    connect(lblKelvane, &toolkit::Label::clicked, this, &formKelvane::RefreshStatus);

    HScroll1 = new toolkit::ScrollBar(this);
    (void)HScroll1->setMinimum(0);
    (void)HScroll1->setMaximum(32767);
    HScroll1->setSmallChange(1);
    HScroll1->setLargeChange(10);
    place(HScroll1, "HScroll1", 75, 570, 2790, 300);
    connect(HScroll1, &toolkit::ScrollBar::changed, this, &formKelvane::HScroll1_Change);

    btnFree = new QPushButton(QStringLiteral("Free"), this);
    btnFree->setFont(fontOf(QStringLiteral("Tahoma"), 9.75, 700));
    place(btnFree, "btnFree", 2970, 510, 1635, 465);
    connect(btnFree, &QPushButton::clicked, this, &formKelvane::btnFree_Click);

    picStat = new toolkit::PictureBox(this);
    picStat->setBackColor(QColor(0, 0, 0));
    picStat->setBorder(true);
    place(picStat, "picStat", 2970, 30, 1620, 450);
    m_graph = std::make_unique<UsageGraph>(*picStat);
    connect(Timer2, &QTimer::timeout, this, &formKelvane::Timer2_Timer);

    // Keyboard order among the controls that take the focus.
    for (QWidget *w : {static_cast<QWidget *>(Picture1), static_cast<QWidget *>(Picture2), static_cast<QWidget *>(picStat)})
        w->setFocusPolicy(Qt::NoFocus);
    setTabOrder(HScroll1, btnFree);

    Timer2->setEnabled(true);
    Timer1->setEnabled(true);
}

void formKelvane::buildMenus()
{
    // Never shown as a menu bar: mnuMain is hidden and is the root of the tray popup.
    mnuMain = new QMenu(this);
    mnuMain->setObjectName(QStringLiteral("mnuMain"));
    mnuMain->menuAction()->setVisible(false);

    auto item = [this](const char *name, const QString &caption) {
        QAction *action = mnuMain->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    mnuShow = item("mnuShow", QStringLiteral("&Show Kelvane"));
    mnuMain->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    mnuMemSetup = item("mnuMemSetup", QStringLiteral("Auto Kelvane Setup"));
    mnuAutoFree = item("mnuAutoFree", QStringLiteral("Auto Kelvane"));
    mnuAutoFree->setCheckable(true);
    mnuAutoFree->setChecked(true);
    mnuMain->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
    mnuExit = item("mnuExit", QStringLiteral("E&xit"));
    setTrayMenu(mnuMain);

    connect(mnuShow, &QAction::triggered, this, &formKelvane::mnuShow_Click);
    connect(mnuMemSetup, &QAction::triggered, this, &formKelvane::mnuMemSetup_Click);
    connect(mnuExit, &QAction::triggered, this, &formKelvane::mnuExit_Click);
    connect(this, &toolkit::Form::MouseMove, this, &formKelvane::Form_MouseMove);
}

void formKelvane::InitGraph() { m_graph->init(); }

void formKelvane::Timer2_Timer() { m_graph->tick(MemInfo); }
