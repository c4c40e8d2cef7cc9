#include "admin/frmabout.h"

#include "admin/aboutframes.h"
#include "admin/formstyle.h"
#include "ui/formkit.h"

#include <QFrame>
#include <QLabel>
#include <QLibraryInfo>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

using formkit::place;

LogoPaintBox::LogoPaintBox(QWidget *parent) : QWidget(parent)
{
    setFixedSize(aboutframes::FrameWidth, aboutframes::FrameHeight);
}

void LogoPaintBox::setFrame(const QImage *frame)
{
    m_frame = frame;
    update();
}

void LogoPaintBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_frame)
        painter.drawImage(0, 0, *m_frame);
}

TformAbout::TformAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formAbout"));
    setWindowTitle(QStringLiteral("Vesk Application Information"));
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    formstyle::fixClientSize(this, 380, 300);

    pnlLogo = place<QFrame>(this, QStringLiteral("pnlLogo"),
                            {10, 10, aboutframes::FrameWidth + 8, aboutframes::FrameHeight + 8});
    pnlLogo->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlLogo->setLineWidth(2);
    pbxLogo = new LogoPaintBox(pnlLogo);
    pbxLogo->setObjectName(QStringLiteral("pbxLogo"));
    pbxLogo->move(4, 4);

    lblProgName = place<QLabel>(this, QStringLiteral("lblProgName"), {130, 18, 240, 40});
    lblProgName->setWordWrap(true);
    lblVersion = place<QLabel>(this, QStringLiteral("lblVersion"), {130, 60, 240, 18});

    tnbkInfo = place<QTabWidget>(this, QStringLiteral("tnbkInfo"), {10, 96, 360, 160});
    tnbkInfo->addTab(buildDevelopmentPage(), QStringLiteral("Development"));
    tnbkInfo->addTab(buildSystemPage(), QStringLiteral("System"));

    btnOk = place<QPushButton>(this, QStringLiteral("btnOk"), {148, 264, 85, 27},
                               QStringLiteral("&Ok"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TformAbout::btnOkClick);

    tmAnimation = new QTimer(this);
    tmAnimation->setObjectName(QStringLiteral("tmAnimation"));
    tmAnimation->setInterval(175);
    connect(tmAnimation, &QTimer::timeout, this, &TformAbout::tmAnimationTimer);

    FormCreate();
}

TformAbout::~TformAbout() = default;

QWidget *TformAbout::buildDevelopmentPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *heading = new QLabel(QStringLiteral("Programmers"));
    heading->setObjectName(QStringLiteral("lblProgrammers"));
    layout->addWidget(heading);
    lbProgrammers = new QListWidget;
    lbProgrammers->setAccessibleName(QStringLiteral("Programmers"));
    lbProgrammers->setObjectName(QStringLiteral("lbProgrammers"));
    layout->addWidget(lbProgrammers);
    // No person or address is named here; the project's README says where to get in touch.
    auto *contact = new QLabel(QStringLiteral("Contact: see the README that comes with the kit."));
    contact->setObjectName(QStringLiteral("lblContact"));
    layout->addWidget(contact);
    return page;
}

QWidget *TformAbout::buildSystemPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("Windows Directory:")));
    lblWinDir = new QLabel;
    lblWinDir->setObjectName(QStringLiteral("lblWinDir"));
    layout->addWidget(lblWinDir);
    layout->addWidget(new QLabel(QStringLiteral("System Directory:")));
    lblSysDir = new QLabel;
    lblSysDir->setObjectName(QStringLiteral("lblSysDir"));
    layout->addWidget(lblSysDir);
    layout->addStretch();
    for (QLabel *label : {lblWinDir, lblSysDir}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
    }
    return page;
}

void TformAbout::FormCreate()
{
    m_frameIndex = -1;
    m_frames = aboutframes::drawAllFrames();
}

void TformAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
    tmAnimation->start();
}

void TformAbout::FormShow()
{
    // There is no Windows directory here. Its counterparts are shown instead: the folder that
    // holds the user's settings (where the engine's alias file lives, as WIN.INI lived in the
    // Windows directory) and the folder of the system libraries the program runs on.
    lblWinDir->setText(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    lblSysDir->setText(QLibraryInfo::path(QLibraryInfo::LibrariesPath));
}

void TformAbout::tmAnimationTimer()
{
    m_frameIndex = (m_frameIndex + 1) % aboutframes::FrameCount;
    pbxLogo->setFrame(&m_frames.at(m_frameIndex));
}

void TformAbout::btnOkClick()
{
    accept();
}
