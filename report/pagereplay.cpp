#include "report/pagereplay.h"

#include "report/drawcmds.h"
#include "report/pagerecorder.h"

#include <QPainter>

namespace report {

PageRange rangeWithoutDialog(int fromPage, int toPage, int pageCount)
{
    PageRange range;
    range.last = (toPage >= 1 && toPage <= pageCount) ? toPage : pageCount;
    if (fromPage >= 1 && fromPage <= range.last)
        range.first = fromPage;
    else if (fromPage <= 0)
        range.first = 1;
    else
        range.first = range.last;
    return range;
}

CopyPlan planCopies(int copies, bool collate, bool deviceMakesCopies, bool deviceCollates)
{
    CopyPlan plan;
    if (copies <= 1)
        return plan;
    if (collate && !deviceCollates) {
        plan.passes = copies;
        return plan;
    }
    if (deviceMakesCopies) {
        plan.deviceCopies = copies;
        plan.deviceCollate = collate;
    } else {
        plan.pageRepeats = copies;
    }
    return plan;
}

void preparePainter(QPainter &painter)
{
    painter.setPen(QPen(Qt::black, 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
}

void replayPage(const PageRecorder &pages, int page, QPainter &painter, double scaleX,
                double scaleY, int offsetX, int offsetY)
{
    for (const auto &command : pages.PageCommands(page))
        command->Print(painter, scaleX, scaleY, offsetX, offsetY);
}

bool replayPages(const PageRecorder &pages, const ReplayTarget &target, PageRange range,
                 const CopyPlan &plan, const ReplayProgress &progress)
{
    const int count = pages.CommandCount();
    const int pagesInRange = range.count();
    const int outputs = plan.passes * pagesInRange * plan.pageRepeats;
    int percent = 0;
    int output = 0;
    for (int pass = 1; pass <= plan.passes; ++pass) {
        for (int done = 0; done < pagesInRange; ++done) {
            const int page = plan.lastPageFirst ? range.last - done : range.first + done;
            // Only the page's own commands are visited (a 300-page report would otherwise
            // walk every command of every page); the percentages are the ones the whole walk
            // would show, as they depend on the position k in the list only for one page.
            if (pagesInRange > 1)
                percent = roundEven(double((pass - 1) * pagesInRange + done) /
                                    (pagesInRange * plan.passes) * 100);
            for (int repeat = 1; repeat <= plan.pageRepeats; ++repeat) {
                if (progress && !progress(percent))
                    return false;
                // One page at a time, read back from the temporary file when it went there.
                const RecordedPage commands = pages.PageCommands(page);
                int k = commands.firstCommand();
                for (const auto &command : commands) {
                    if (pagesInRange == 1 && count > 1)
                        percent = roundEven(double((pass - 1) * (count - 1) + k) /
                                            ((count - 1) * plan.passes) * 100);
                    if (progress && !progress(percent))
                        return false;
                    command->Print(*target.painter, target.scaleX, target.scaleY, target.offsetX,
                                   target.offsetY);
                    ++k;
                }
                if (++output < outputs && target.newPage && !target.newPage())
                    return false;
            }
        }
    }
    return true;
}

} // namespace report
