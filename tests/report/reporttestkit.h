#pragma once

#include "dbe/dataset.h"
#include "report/drawcmds.h"
#include "report/pagerecorder.h"

#include <QImage>
#include <QStringList>
#include <memory>

namespace reporttest {

dbe::FieldInfo field(const QString &name, dbe::FieldType type = dbe::FieldType::Alpha,
                     const QString &label = {}, int width = 10,
                     Qt::Alignment alignment = Qt::AlignLeft);

// An open-able data set of `rows` rows; row r of column c holds "<name><r+1>" for text fields
// and r + 1 for integer fields.
std::unique_ptr<dbe::MemoryDataSet> numberedRows(const QList<dbe::FieldInfo> &fields, int rows);

// The text boxes of one page (all pages for page 0), in recording order. The pointers stay
// valid while the page is in memory: always for a report within the recorder's memory budget,
// and for a page that went to the temporary file until three other pages have been read back.
QList<const report::TTextBoxCmd *> textBoxes(const report::PageRecorder &pages, int page = 0);
const report::TTextBoxCmd *findText(const report::PageRecorder &pages, const QString &text,
                                    int page = 0);
QList<const report::TLineCmd *> lines(const report::PageRecorder &pages, int page = 0);

// Poppler's view of a PDF file.
int pdfPageCount(const QString &file);
QString pdfPageSize(const QString &file); // "792 x 612 pts (letter)" as pdfinfo says it
QString pdfText(const QString &file, int page);
// Which "Sheet n" each page of the PDF shows, in order (-1 for a page without one).
QList<int> pdfSheets(const QString &file);

// Columns and rows holding any pixel darker than mid-grey.
QRect inkBounds(const QImage &image);
QImage whitePage(int width, int height);

// Saves a picture for a person to look at when VESK_SCREENSHOT_DIR names a folder.
void keepScreenshot(const QImage &image, const QString &name);

} // namespace reporttest
