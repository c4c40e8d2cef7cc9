#pragma once

#include "report/pagereplay.h"

#include <QString>

class QPrinter;

namespace report {

class PageRecorder;

struct PrintResult {
    bool sent = false;    // the job reached the printer (or the PDF file) whole
    bool aborted = false; // stopped by `progress`; nothing was delivered
    QString error;        // why the printer did not take the job
};

// One print job of a range of the pages on `printer`: the copies and collation the printer is
// set to (made by the device where it can, else by repeating pages or passes), in the
// orientation of the report's pages. The printer's page size is left as the caller chose it;
// its orientation is put back afterwards. `progress` is told before every command and stops
// the job by answering false. Needs no window: the preview's Print and the command-line tool
// both print through here.
PrintResult printPages(const PageRecorder &pages, QPrinter &printer, PageRange range,
                       const ReplayProgress &progress = {});

} // namespace report
