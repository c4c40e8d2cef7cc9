#include "admin/secdbunt.h"

#include "admin/admnunt.h"
#include "admin/formstyle.h"
#include "admin/logging.h"
#include "admin/usgdlunt.h"
#include "admin/windowplace.h"
#include "controls/dateedit.h"
#include "dbe/error.h"
#include "dbe/query.h"
#include "report/frmgennav.h"
#include "report/frmgenwn.h"
#include "report/pageexport.h"
#include "report/rptdsgn.h"
#include "reports/securityreports.h"
#include "ui/engineerror.h"
#include "ui/formkit.h"
#include "ui/glyphs.h"
#include "ui/helpkey.h"
#include "ui/messages.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

using formkit::place;
using securityreports::ReportType;

TFormSecDB::TFormSecDB(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("FormSecDB"));
    setWindowTitle(QStringLiteral("Reporting"));
    ui::installHelpKey(this, QStringLiteral("reports.html"));
    setWindowIcon(glyphs::reports());
    formkit::applyDialogFont(this, formkit::Weight::Bold);
    // Wide enough for the page count and Save as PDF beside the navigator.
    resize(740, 480);
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
    // The preview takes the keyboard by Tab and by a click, for Page Up/Down and the arrows.
    fgwMain->SetTabStop(true);
    fgwMain->SetSurround(true);
    fgwMain->setAccessibleName(QStringLiteral("Preview"));
    layout->addWidget(fgwMain, 1);

    fgnReport->SetVisibleButtons({nbZoom, nbPrint, nbPrevPage, nbNextPage, nbClear});
    fgnReport->SetFormComponent(fgwMain);
    fgnReport->SetOnNavEvent([this](TFormGenNav *, TFGEvent event, bool &doDefault) {
        if (event != fgePrint)
            return;
        doDefault = false;
        printReport();
    });
    connect(fgnReport, &TFormGenNav::GeneratorChanged, this, &TFormSecDB::showPageCount);
    showPageCount();
    setTabOrder(cmboxReportType, spbtnExecute);
    setTabOrder(spbtnExecute, fgnReport);
    setTabOrder(fgnReport, spnPage);
    setTabOrder(spnPage, spbtnSavePdf);
    setTabOrder(spbtnSavePdf, fgwMain);

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

    lblReport = place<QLabel>(pnlTopArea, QStringLiteral("lblReport"), {8, 12, 44, 16},
                              QStringLiteral("Report:"));

    cmboxReportType =
        place<QComboBox>(pnlTopArea, QStringLiteral("cmboxReportType"), {56, 9, 145, 22});
    cmboxReportType->setEditable(false);
    cmboxReportType->addItems(securityreports::reportTypeNames());
    cmboxReportType->setCurrentIndex(-1);
    lblReport->setBuddy(cmboxReportType);

    spbtnExecute = place<QToolButton>(pnlTopArea, QStringLiteral("spbtnExecute"), {208, 8, 65, 25});
    spbtnExecute->setText(QStringLiteral("Build"));
    connect(spbtnExecute, &QToolButton::clicked, this, &TFormSecDB::spbtnExecuteClick);

    fgnReport = place<TFormGenNav>(pnlTopArea, QStringLiteral("fgnReport"), {280, 8, 160, 25});

    lblPage = place<QLabel>(pnlTopArea, QStringLiteral("lblPage"), {450, 12, 32, 16},
                            QStringLiteral("Page"));
    spnPage = place<QSpinBox>(pnlTopArea, QStringLiteral("spnPage"), {484, 9, 64, 22});
    spnPage->setAccessibleName(QStringLiteral("Page"));
    spnPage->setToolTip(QStringLiteral("Go to page"));
    spnPage->setKeyboardTracking(false); // a page number typed whole, not digit by digit
    lblPage->setBuddy(spnPage);
    connect(spnPage, &QSpinBox::valueChanged, this, [this](int page) { fgwMain->GoToPage(page); });
    lblPageCount = place<QLabel>(pnlTopArea, QStringLiteral("lblPageCount"), {552, 12, 72, 16});

    spbtnSavePdf =
        place<QToolButton>(pnlTopArea, QStringLiteral("spbtnSavePdf"), {628, 8, 100, 25});
    spbtnSavePdf->setText(QStringLiteral("Save as PDF"));
    spbtnSavePdf->setToolTip(QStringLiteral("Save the report as a PDF file"));
    connect(spbtnSavePdf, &QToolButton::clicked, this, &TFormSecDB::saveAsPdf);
}

void TFormSecDB::showPageCount()
{
    const bool hasPages = fgwMain->CommandCount() > 0;
    const QSignalBlocker quiet(spnPage);
    spnPage->setRange(1, std::max(1, fgwMain->PageCount()));
    spnPage->setValue(fgwMain->CurrentPage());
    spnPage->setEnabled(hasPages);
    lblPageCount->setText(QStringLiteral("of %1").arg(hasPages ? fgwMain->PageCount() : 0));
    spbtnSavePdf->setEnabled(hasPages);
}

void TFormSecDB::printReport()
{
    if (fgwMain->CommandCount() == 0)
        return;
    const QStringList printers = QPrinterInfo::availablePrinterNames();
    if (printers.isEmpty()) {
        if (ui::askYesNo(this, QStringLiteral("No printer is installed on this system, so the "
                                              "report cannot be printed.\n\nSave it as a PDF "
                                              "file instead?")))
            saveAsPdf();
        return;
    }
    // The owner is the main window, whose Print Setup keeps the printer chosen.
    const auto *admin = qobject_cast<const TFormAdmin *>(parentWidget());
    const QPrinter *chosen = admin ? admin->printer() : nullptr;
    QString name;
    if (chosen && chosen->outputFormat() == QPrinter::NativeFormat &&
        printers.contains(chosen->printerName()))
        name = chosen->printerName();
    else if (printers.contains(QPrinterInfo::defaultPrinterName()))
        name = QPrinterInfo::defaultPrinterName();
    else // printers but no default: the first, rather than a PDF nobody asked for
        name = printers.first();
    QPrinter &printer = fgwMain->Printer();
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
    printer.setDocName(cmboxReportType->currentText());
    fgwMain->Print();
}

void TFormSecDB::saveAsPdf()
{
    if (fgwMain->CommandCount() == 0)
        return;
    const QString suggested = cmboxReportType->currentText().isEmpty()
                                  ? QStringLiteral("Report.pdf")
                                  : cmboxReportType->currentText() + QStringLiteral(".pdf");
    QString file = AskPdfFileName ? AskPdfFileName(suggested)
                                  : QFileDialog::getSaveFileName(
                                        this, QStringLiteral("Save as PDF"), suggested,
                                        QStringLiteral("PDF files (*.pdf)"));
    if (file.isEmpty())
        return;
    if (!file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        file += QStringLiteral(".pdf");
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    ui::runGuarded(this, [&] { report::exportPdf(*fgwMain, file); });
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
