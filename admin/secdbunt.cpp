#include "admin/secdbunt.h"

#include "admin/formstyle.h"
#include "ui/formkit.h"
#include "admin/logging.h"
#include "reports/securityreports.h"
#include "admin/toolglyphs.h"
#include "admin/usgdlunt.h"
#include "admin/windowplace.h"
#include "controls/dateedit.h"
#include "dbe/error.h"
#include "dbe/query.h"
#include "report/frmgennav.h"
#include "report/frmgenwn.h"
#include "report/rptdsgn.h"
#include "ui/engineerror.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>

using securityreports::ReportType;

TFormSecDB::TFormSecDB(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("FormSecDB"));
    setWindowTitle(QStringLiteral("Reporting"));
    ui::installHelpKey(this, QStringLiteral("reports.html"));
    setWindowIcon(toolglyphs::reports());
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    resize(567, 371);
    windowplace::restore(this, QStringLiteral("Reporting"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildTopArea();
    layout->addWidget(pnlTopArea);

    fgwMain = new TFormGenWin(this);
    fgwMain->setObjectName(QStringLiteral("fgwMain"));
    fgwMain->SetBevelOuter(false);
    fgwMain->SetBorderWidth(4);
    fgwMain->SetPhyWidth(85);
    fgwMain->SetPhyHeight(110);
    fgwMain->SetAlignment(report::taLeftJustify);
    fgwMain->SetOptions({foShowDialog});
    layout->addWidget(fgwMain, 1);

    fgnReport->SetVisibleButtons({nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear});
    fgnReport->SetFormComponent(fgwMain);

    Reports = new securityreports::SecurityReports(this);
    for (int i = 0; i < securityreports::ReportTypeCount; ++i)
        Reports->design(ReportType(i))->SetFormComponent(fgwMain);

    // A modeless window is shown by its creator when it wants it; nothing here shows it.
}

TFormSecDB::~TFormSecDB()
{
    windowplace::save(this, QStringLiteral("Reporting"));
    // FormDestroy. The main window's reference is a guarded pointer that clears itself now.
    try {
        if (Reports->qryReport->isOpen())
            Reports->qryReport->close();
    } catch (...) {
        // Closing releases statements only; a destructor has nobody to tell.
    }
    // The navigator must not hear from a preview that is being taken apart before it.
    fgnReport->SetFormComponent(nullptr);
}

void TFormSecDB::buildTopArea()
{
    pnlTopArea = new QFrame(this);
    pnlTopArea->setObjectName(QStringLiteral("pnlTopArea"));
    pnlTopArea->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlTopArea->setFixedHeight(41);

    lblReport = new QLabel(QStringLiteral("Report:"), pnlTopArea);
    lblReport->setObjectName(QStringLiteral("lblReport"));
    lblReport->setGeometry(8, 12, 44, 16);

    cmboxReportType = new QComboBox(pnlTopArea);
    cmboxReportType->setObjectName(QStringLiteral("cmboxReportType"));
    cmboxReportType->setEditable(false);
    cmboxReportType->addItems(securityreports::reportTypeNames());
    cmboxReportType->setCurrentIndex(-1);
    cmboxReportType->setGeometry(56, 9, 145, 22);
    lblReport->setBuddy(cmboxReportType);

    spbtnExecute = new QToolButton(pnlTopArea);
    spbtnExecute->setObjectName(QStringLiteral("spbtnExecute"));
    spbtnExecute->setText(QStringLiteral("Build"));
    spbtnExecute->setGeometry(208, 8, 65, 25);
    connect(spbtnExecute, &QToolButton::clicked, this, &TFormSecDB::spbtnExecuteClick);

    fgnReport = new TFormGenNav(pnlTopArea);
    fgnReport->setObjectName(QStringLiteral("fgnReport"));
    fgnReport->setGeometry(280, 8, 160, 25);
}

void TFormSecDB::AssignAlias()
{
    setWindowTitle(QStringLiteral("Security in ") + AliasName);
    Reports->qryReport->setDatabaseName(AliasName);
}

void TFormSecDB::spbtnExecuteClick()
{
    const std::optional<ReportType> type =
        securityreports::reportTypeAt(cmboxReportType->currentIndex());
    if (!type || m_building)
        return;
    m_building = true;
    const auto built = qScopeGuard([this] { m_building = false; });
    Reports->SetAliasName(AliasName);
    try {
        securityreports::DayRange days;
        std::unique_ptr<TFrmUsageDlg> dialog;
        if (*type == ReportType::Usage) {
            dialog = std::make_unique<TFrmUsageDlg>(this);
            if (dialog->exec() != QDialog::Accepted)
                return;
            days = {dialog->dedStart->Date(), dialog->dedEnd->Date()};
        }
        Reports->Build(
            *type, [](TReportDesign &design) { design.Execute(); }, days);
    } catch (const dbe::Error &error) {
        ui::showEngineError(this, error);
    } catch (const std::exception &error) {
        const QString text = QString::fromLocal8Bit(error.what());
        qCWarning(admin::lcAdmin) << "Building the report" << cmboxReportType->currentText() << "on"
                                  << AliasName << "failed:" << text;
        ui::showError(this, text);
    }
}

bool TFormSecDB::FormCloseQuery()
{
    return true;
}

void TFormSecDB::closeEvent(QCloseEvent *event)
{
    // Closing hides the window; the main window shows it again with its last preview.
    if (FormCloseQuery()) {
        windowplace::save(this, QStringLiteral("Reporting"));
        event->accept();
    }
    else
        event->ignore();
}
