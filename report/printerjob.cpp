#include "report/printerjob.h"

#include "dbe/safefilewriter.h"

#include <QDir>
#include <QFile>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryFile>
#include <algorithm>
#include <cups/cups.h>

namespace report {

namespace {

// The print engine key under which Qt's CUPS engine keeps the options the print dialog's
// printer properties chose (a flat list of name, value, name, value, ...).
const auto CupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// Qt's engine does not report a failed write of its file; a document it could not write to its
// end lacks the trailer that ends every PDF file.
bool endsThePdf(QFile &spool)
{
    constexpr qint64 TailLength = 32;
    return spool.seek(std::max<qint64>(0, spool.size() - TailLength)) &&
           spool.read(TailLength).contains("%%EOF");
}

QString unreadable(const QFile &spool)
{
    return QStringLiteral("Cannot read the print file %1: %2")
        .arg(spool.fileName(), spool.errorString());
}

} // namespace

PrinterJob::PrinterJob(QPrinter &printer) : m_printer(printer) {}

PrinterJob::~PrinterJob()
{
    if (m_painter.isActive())
        m_painter.end();
    if (m_spool)
        m_printer.printEngine()->setProperty(QPrintEngine::PPK_OutputFileName, m_originalOutput);
}

bool PrinterJob::begin()
{
    if (m_printer.outputFormat() == QPrinter::PdfFormat && m_printer.outputFileName().isEmpty()) {
        m_error = QStringLiteral("No file was named for the PDF output.");
        return false;
    }
    m_spool = std::make_unique<QTemporaryFile>(
        QDir::temp().filePath(QStringLiteral("vesksec-print-XXXXXX.pdf")));
    if (!m_spool->open()) {
        m_error = QStringLiteral("Cannot create the print file %1: %2")
                      .arg(m_spool->fileTemplate(), m_spool->errorString());
        m_spool.reset();
        return false;
    }
    m_spool->close();
    // Straight to the engine: QPrinter::setOutputFileName would turn a CUPS printer into a
    // PDF printer.
    m_originalOutput = m_printer.outputFileName();
    m_printer.printEngine()->setProperty(QPrintEngine::PPK_OutputFileName, m_spool->fileName());
    if (!m_painter.begin(&m_printer)) {
        m_error = QStringLiteral("The printer could not start the job.");
        return false;
    }
    return true;
}

ReplayTarget PrinterJob::target()
{
    ReplayTarget target;
    target.painter = &m_painter;
    target.scaleX = m_printer.logicalDpiX();
    target.scaleY = m_printer.logicalDpiY();
    // The painter's origin is the corner of the printable area; the page's inches start at the
    // sheet's corner, the printing offset further up and to the left.
    const QRectF paper = m_printer.paperRect(QPrinter::DevicePixel);
    const QRectF printable = m_printer.pageRect(QPrinter::DevicePixel);
    target.offsetX = -qRound(printable.left() - paper.left());
    target.offsetY = -qRound(printable.top() - paper.top());
    target.newPage = [this] { return m_printer.newPage(); };
    return target;
}

void PrinterJob::abort()
{
    m_aborted = true;
    m_printer.abort();
}

bool PrinterJob::finish()
{
    if (m_finished)
        return m_error.isEmpty();
    m_finished = true;
    if (m_painter.isActive())
        m_painter.end();
    if (m_aborted)
        return true; // the spool file goes with m_spool; nothing reaches the printer
    return deliver();
}

bool PrinterJob::deliver()
{
    QFile spool(m_spool->fileName());
    if (!spool.open(QIODevice::ReadOnly)) {
        m_error = unreadable(spool);
        return false;
    }
    if (!endsThePdf(spool)) {
        m_error = QStringLiteral("The print file %1 could not be written to its end.")
                      .arg(spool.fileName());
        return false;
    }
    if (m_printer.outputFormat() == QPrinter::PdfFormat)
        return copyTo(spool, m_originalOutput);
    return submitToCups();
}

bool PrinterJob::copyTo(QFile &spool, const QString &target)
{
    dbe::SafeFileWriter file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = file.errorString();
        return false;
    }
    constexpr qint64 ChunkSize = 1 << 16;
    if (!spool.seek(0)) {
        m_error = unreadable(spool);
        return false;
    }
    while (!spool.atEnd()) {
        const QByteArray chunk = spool.read(ChunkSize);
        if (chunk.isEmpty() || file.write(chunk) != chunk.size())
            break;
    }
    if (spool.error() != QFileDevice::NoError) {
        m_error = unreadable(spool);
        return false;
    }
    if (!file.commit()) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

bool PrinterJob::submitToCups()
{
    // The queue's name without a CUPS instance ("queue/instance").
    const QByteArray queue = m_printer.printerName().section(QLatin1Char('/'), 0, 0).toLocal8Bit();
    cups_option_t *options = nullptr;
    int count = 0;
    auto add = [&](const QByteArray &name, const QByteArray &value) {
        count = cupsAddOption(name.constData(), value.constData(), count, &options);
    };
    add("media", m_printer.pageLayout().pageSize().key().toLocal8Bit());
    if (m_printer.copyCount() > 1) {
        add("copies", QByteArray::number(m_printer.copyCount()));
        add("Collate", m_printer.collateCopies() ? "True" : "False");
    }
    switch (m_printer.duplex()) {
    case QPrinter::DuplexNone:
        add("sides", "one-sided");
        break;
    case QPrinter::DuplexAuto:
        add("sides", m_printer.pageLayout().orientation() == QPageLayout::Portrait
                         ? "two-sided-long-edge"
                         : "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide:
        add("sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        add("sides", "two-sided-short-edge");
        break;
    }
    if (m_printer.pageLayout().orientation() == QPageLayout::Landscape)
        add("landscape", "");
    const QStringList chosen = m_printer.printEngine()->property(CupsOptionsKey).toStringList();
    for (qsizetype i = 0; i + 1 < chosen.size(); i += 2)
        add(chosen.at(i).toLocal8Bit(), chosen.at(i + 1).toLocal8Bit());

    const QByteArray title =
        (m_printer.docName().isEmpty() ? QStringLiteral("Report") : m_printer.docName())
            .toLocal8Bit();
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.constData(),
                                   QFile::encodeName(m_spool->fileName()).constData(),
                                   title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (job == 0) {
        m_error = QStringLiteral("The printer %1 refused the job: %2")
                      .arg(QString::fromLocal8Bit(queue), QString::fromUtf8(cupsLastErrorString()));
        return false;
    }
    return true;
}

} // namespace report
