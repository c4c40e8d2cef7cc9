// Printing of the generator's pages: the print dialog or the printing defaults, copies and
// collation, the orientation of the job, and the abort box.

#include "report/frmgenwn.h"
#include "report/pageprint.h"
#include "report/pagereplay.h"
#include "report/prtabunt.h"
#include "ui/messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

Q_LOGGING_CATEGORY(lcReportPrint, "vesk.report.print")

namespace {

using report::PageRange;

PageRange rangeChosenInDialog(const QPrinter &printer, int currentPage, int pageCount)
{
    switch (printer.printRange()) {
    case QPrinter::Selection:
    case QPrinter::CurrentPage:
        return {currentPage, currentPage};
    case QPrinter::PageRange:
        if (printer.fromPage() >= 1)
            return {printer.fromPage(),
                    std::min(std::max(printer.toPage(), printer.fromPage()), pageCount)};
        return {1, pageCount};
    case QPrinter::AllPages:
        break;
    }
    return {1, pageCount};
}

// Messages are processed at most this often while a job runs: often enough that Abort answers
// at once, rarely enough that a 300-page job does not spend its time in the event loop.
constexpr qint64 MessageIntervalMs = 40;

} // namespace

bool TFormGenWin::Print()
{
    QPrinter &printer = Printer();
    // The sheet the report was laid out for; the dialog's page setup may still change it.
    printer.setPageSize(
        QPageSize(QSizeF(std::min(PageWidth(), PageHeight()), std::max(PageWidth(), PageHeight())),
                  QPageSize::Inch));

    auto dialog = std::make_unique<QPrintDialog>(&printer, this);
    // Print to file stays offered: on Linux that is how a report is saved as PDF.
    dialog->setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintSelection |
                       QAbstractPrintDialog::PrintToFile |
                       QAbstractPrintDialog::PrintCollateCopies |
                       QAbstractPrintDialog::PrintShowPageSize);
    dialog->setMinMax(1, PageCount());
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(m_currentPage, m_currentPage);
    if (Copies > 0)
        printer.setCopyCount(Copies);
    printer.setCollateCopies(Collate);

    PageRange range;
    if (m_options.contains(foShowPrint)) {
        if (dialog->exec() != QDialog::Accepted) {
            dialog.reset();
            fireChange();
            return false;
        }
        range = rangeChosenInDialog(printer, m_currentPage, PageCount());
    } else {
        range = report::rangeWithoutDialog(FromPage, ToPage, PageCount());
    }

    auto abortBox = std::make_unique<TfrmPrintAbort>(printer, this);
    abortBox->show();
    QCoreApplication::processEvents();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);

    QElapsedTimer sinceMessages;
    sinceMessages.start();
    TfrmPrintAbort *box = abortBox.get();
    const auto progress = [&](int percent) {
        box->SetProgress(percent);
        if (sinceMessages.elapsed() >= MessageIntervalMs) {
            QCoreApplication::processEvents();
            sinceMessages.restart();
        }
        return !box->AbortRequested();
    };
    const report::PrintResult result = report::printPages(*this, printer, range, progress);
    const QString failure = result.error;
    const bool sent = result.sent;

    QGuiApplication::restoreOverrideCursor();
    abortBox.reset();
    dialog.reset();
    if (!failure.isEmpty()) {
        qCWarning(lcReportPrint) << failure;
        ui::showError(this, failure);
        return false;
    }
    fireChange();
    return sent;
}
