#pragma once

#include "report/pagereplay.h"

#include <QString>
#include <QStringList>

namespace report {

class PageRecorder;

// Saving recorded pages to files through the same replay as printing, so a file shows what the
// preview shows. Neither needs a window or a screen: a QGuiApplication (on the offscreen
// platform if need be) is enough. An empty range (first 0) means every page. A page range the
// report does not have, or a file that cannot be written, is thrown as dbe::Error with the
// reason (the file's name and the system's words).

// One PDF file, each page of the report's page size and orientation. The file is replaced only
// when the whole document was written.
void exportPdf(const PageRecorder &pages, const QString &fileName, PageRange range = {0, 0},
               int dotsPerInch = 1200);

// One PNG image per page at the given resolution. A single page goes to `fileName` itself;
// several go to numbered files beside it: "report.png" gives "report-01.png", "report-02.png",
// ... (as many digits as the last page number needs). Each file is replaced only when its whole
// image was written; a failure stops at that page. Answers the files written.
QStringList exportPng(const PageRecorder &pages, const QString &fileName, int dotsPerInch,
                      PageRange range = {0, 0});

// The file names exportPng writes for the range.
QStringList pngFileNames(const QString &fileName, PageRange range);

} // namespace report
