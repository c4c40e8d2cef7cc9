#include "report/pageprint.h"

#include "report/pagerecorder.h"
#include "report/printerjob.h"

#include <QPageLayout>
#include <QPrinter>

namespace report {

PrintResult printPages(const PageRecorder &pages, QPrinter &printer, PageRange range,
                       const ReplayProgress &progress)
{
    // A CUPS queue makes and collates copies itself (in software where the printer cannot);
    // a PDF file does neither.
    const bool deviceCopies = printer.supportsMultipleCopies();
    CopyPlan plan =
        planCopies(printer.copyCount(), printer.collateCopies(), deviceCopies, deviceCopies);
    // The job itself holds the pages in the order asked for, so every device prints them so.
    plan.lastPageFirst = printer.pageOrder() == QPrinter::LastPageFirst;
    printer.setCopyCount(plan.deviceCopies);
    printer.setCollateCopies(plan.deviceCollate);

    const QPageLayout::Orientation savedOrientation = printer.pageLayout().orientation();
    printer.setPageOrientation(pages.PageWidth() > pages.PageHeight() ? QPageLayout::Landscape
                                                                      : QPageLayout::Portrait);
    PrintResult result;
    {
        PrinterJob job(printer);
        if (job.begin()) {
            preparePainter(*job.target().painter);
            const auto stopping = [&](int percent) {
                if (progress && !progress(percent))
                    job.abort();
                return !job.aborted();
            };
            const bool complete = replayPages(pages, job.target(), range, plan, stopping);
            if (!complete && !job.aborted())
                result.error = QStringLiteral("The printer refused a new page.");
        } else {
            result.error = job.error();
        }
        if (result.error.isEmpty() && !job.finish())
            result.error = job.error();
        result.aborted = job.aborted();
        result.sent = result.error.isEmpty() && !job.aborted();
    }
    printer.setPageOrientation(savedOrientation);
    return result;
}

} // namespace report
