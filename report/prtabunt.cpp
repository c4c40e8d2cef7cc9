#include "report/prtabunt.h"

#include "ui/formkit.h"
#include "ui/glyphs.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>

using formkit::place;

TfrmPrintAbort::TfrmPrintAbort(const QPrinter &printer, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmPrintAbort"));
    setWindowTitle(QStringLiteral("Printing current form ..."));
    setFixedSize(293, 104);
    formkit::applyDialogFont(this, formkit::Weight::Bold);

    lblPrinterName = place<QLabel>(this, QStringLiteral("lblPrinterName"), {6, 8, 281, 25});
    lblPrinterName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblPrinterName->setWordWrap(true);
    // A PDF file has no queue name; its file name says where the job goes.
    const QString destination = printer.outputFormat() == QPrinter::PdfFormat
                                    ? QFileInfo(printer.outputFileName()).fileName()
                                    : printer.printerName();
    if (!destination.isEmpty())
        lblPrinterName->setText(QStringLiteral("on ") + destination);

    prbarStat = place<QProgressBar>(this, QStringLiteral("prbarStat"), {6, 40, 281, 25});
    prbarStat->setRange(0, 100);
    prbarStat->setValue(0);

    BitBtn1 = place<QPushButton>(this, QStringLiteral("BitBtn1"), {108, 72, 77, 27},
                                 glyphs::abort(), QStringLiteral("Abort"));
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmPrintAbort::BitBtn1Click);

    formkit::centreOnScreen(this);
}

void TfrmPrintAbort::SetProgress(int percent)
{
    if (prbarStat->value() != percent)
        prbarStat->setValue(percent);
}

void TfrmPrintAbort::BitBtn1Click()
{
    if (m_abortRequested)
        return;
    m_abortRequested = true;
    BitBtn1->setEnabled(false);
    Q_EMIT abortRequested();
}

void TfrmPrintAbort::closeEvent(QCloseEvent *event)
{
    event->ignore();
    BitBtn1Click();
}

void TfrmPrintAbort::reject()
{
    BitBtn1Click();
}
