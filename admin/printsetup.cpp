#include "admin/printsetup.h"

#include "ui/helpkey.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

PrintSetupDialog::PrintSetupDialog(QPrinter *printer, QWidget *parent)
    : QDialog(parent), m_printer(printer)
{
    ui::installHelpKey(this, QStringLiteral("mainwindow.html"));
    setObjectName(QStringLiteral("PrintSetupDialog"));
    setWindowTitle(tr("Print Setup"));

    cmbPrinter = new QComboBox;
    cmbPrinter->setObjectName(QStringLiteral("cmbPrinter"));
    cmbPaper = new QComboBox;
    cmbPaper->setObjectName(QStringLiteral("cmbPaper"));
    lblNoPrinter = new QLabel(tr("No printer is installed on this system."));
    lblNoPrinter->setObjectName(QStringLiteral("lblNoPrinter"));

    auto *orientation = new QGroupBox(tr("Orientation"));
    rbPortrait = new QRadioButton(tr("&Portrait"));
    rbPortrait->setObjectName(QStringLiteral("rbPortrait"));
    rbLandscape = new QRadioButton(tr("&Landscape"));
    rbLandscape->setObjectName(QStringLiteral("rbLandscape"));
    auto *orientationLayout = new QHBoxLayout(orientation);
    orientationLayout->addWidget(rbPortrait);
    orientationLayout->addWidget(rbLandscape);

    auto *form = new QFormLayout;
    form->addRow(tr("Printer:"), cmbPrinter);
    form->addRow(QString(), lblNoPrinter);
    form->addRow(tr("Paper size:"), cmbPaper);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(orientation);
    layout->addWidget(buttons);

    const QStringList names = QPrinterInfo::availablePrinterNames();
    cmbPrinter->addItems(names);
    // The printer chosen before, else the system's default printer.
    QString current =
        m_printer->outputFormat() == QPrinter::NativeFormat ? m_printer->printerName() : QString();
    if (!names.contains(current))
        current = QPrinterInfo::defaultPrinterName();
    cmbPrinter->setCurrentIndex(qMax(0, names.indexOf(current)));
    lblNoPrinter->setVisible(names.isEmpty());
    cmbPrinter->setEnabled(!names.isEmpty());
    cmbPaper->setEnabled(!names.isEmpty());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!names.isEmpty());

    const bool landscape = m_printer->pageLayout().orientation() == QPageLayout::Landscape;
    (landscape ? rbLandscape : rbPortrait)->setChecked(true);
    listPaper();

    connect(cmbPrinter, &QComboBox::currentIndexChanged, this, &PrintSetupDialog::listPaper);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        store();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PrintSetupDialog::listPaper()
{
    const QPageSize wanted = cmbPaper->currentIndex() >= 0
                                 ? m_paperSizes.at(cmbPaper->currentIndex())
                                 : m_printer->pageLayout().pageSize();
    cmbPaper->clear();
    m_paperSizes.clear();
    const QPrinterInfo info = QPrinterInfo::printerInfo(cmbPrinter->currentText());
    if (info.isNull())
        return;
    const QPageSize fallback = info.defaultPageSize();
    int chosen = -1;
    int sameSize = -1;
    int fallbackRow = 0;
    for (const QPageSize &size : info.supportedPageSizes()) {
        if (size.id() == QPageSize::Custom)
            continue;
        const int row = int(m_paperSizes.size());
        if (size == wanted)
            chosen = row;
        else if (sameSize < 0 && size.id() == wanted.id())
            sameSize = row;
        if (size == fallback)
            fallbackRow = row;
        m_paperSizes.append(size);
        cmbPaper->addItem(size.name());
    }
    cmbPaper->setCurrentIndex(chosen >= 0 ? chosen : sameSize >= 0 ? sameSize : fallbackRow);
}

void PrintSetupDialog::store()
{
    if (cmbPrinter->count() == 0)
        return;
    m_printer->setOutputFormat(QPrinter::NativeFormat);
    m_printer->setPrinterName(cmbPrinter->currentText());
    if (cmbPaper->currentIndex() >= 0)
        m_printer->setPageSize(m_paperSizes.at(cmbPaper->currentIndex()));
    m_printer->setPageOrientation(rbLandscape->isChecked() ? QPageLayout::Landscape
                                                           : QPageLayout::Portrait);
}
