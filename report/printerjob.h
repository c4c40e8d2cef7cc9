#pragma once

#include "report/pagereplay.h"

#include <QPainter>
#include <QString>
#include <memory>

class QFile;
class QPrinter;
class QTemporaryFile;

namespace report {

// One print job on a QPrinter that can really be aborted.
//
// Qt's print engines on Linux write the whole document to a file and hand it to CUPS (or leave
// it as the PDF file) when the painter ends, and their abort does nothing: an aborted job would
// still come out of the printer, cut short. So the job is spooled into a file of its own, and
// only a job that was not aborted, and whose file was written to its end, is delivered: copied
// safely to the PDF file's place (see dbe::SafeFileWriter), or submitted to the CUPS queue with
// the options Qt would have given it. A refused submission is reported, not swallowed.
class PrinterJob
{
public:
    explicit PrinterJob(QPrinter &printer);
    ~PrinterJob();
    PrinterJob(const PrinterJob &) = delete;
    PrinterJob &operator=(const PrinterJob &) = delete;

    // Starts the document. False with error() set when the printer cannot start.
    bool begin();
    // The painter on the printer, its resolution, and the offsets that measure inches from the
    // sheet's corner rather than from the printable area's.
    ReplayTarget target();

    // Asks the printer to abort; nothing of the job is delivered.
    void abort();
    bool aborted() const { return m_aborted; }

    // Ends the document and delivers it unless aborted. False with error() set when the
    // delivery failed.
    bool finish();
    QString error() const { return m_error; }

private:
    bool deliver();
    bool copyTo(QFile &spool, const QString &target);
    bool submitToCups();

    QPrinter &m_printer;
    QPainter m_painter;
    std::unique_ptr<QTemporaryFile> m_spool;
    QString m_originalOutput;
    bool m_aborted = false;
    bool m_finished = false;
    QString m_error;
};

} // namespace report
