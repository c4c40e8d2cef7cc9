#pragma once

#include <functional>

class QPainter;

namespace report {

class PageRecorder;

// First and last page of a job, both included.
struct PageRange {
    int first = 1;
    int last = 1;

    int count() const { return last - first + 1; }
    bool operator==(const PageRange &) const = default;
};

// The range printed without the print dialog: the last page is ToPage when that is a page of
// the report, else the report's last; the first is FromPage when it lies between 1 and that
// last page, page 1 for FromPage ≤ 0 and the last page for a FromPage beyond it.
PageRange rangeWithoutDialog(int fromPage, int toPage, int pageCount);

// How the wanted copies reach paper.
struct CopyPlan {
    int passes = 1;       // the whole range, this many times in one job (1, 2, 3, 1, 2, 3)
    int pageRepeats = 1;  // each page this many times in a row (1, 1, 2, 2, 3, 3)
    int deviceCopies = 1; // copies the device itself is asked to make
    bool deviceCollate = false;
    bool lastPageFirst = false; // each pass runs from the range's last page back to its first

    bool operator==(const CopyPlan &) const = default;
};

// A device that cannot collate gets a collated job as passes over the range. A device that
// cannot make copies at all (a PDF file) gets the uncollated copies as repeated pages, so the
// file holds what the print dialog asked for instead of one copy.
CopyPlan planCopies(int copies, bool collate, bool deviceMakesCopies, bool deviceCollates);

// Where replayed pages go: a painter already begun on a paged device, the device's pixels per
// inch, and the offsets that put inch 0 at the corner of the sheet.
struct ReplayTarget {
    QPainter *painter = nullptr;
    double scaleX = 0;
    double scaleY = 0;
    int offsetX = 0;
    int offsetY = 0;
    std::function<bool()> newPage; // false when the device refuses a new page
};

// Told the job's progress in percent before every command; answers false to stop the job at
// once (the abort button).
using ReplayProgress = std::function<bool(int percent)>;

// The printing loop: every page of the range in every pass, each page's commands in recording
// order, with the percentages of the original progress bar. False when stopped by `progress`
// or refused by the device.
bool replayPages(const PageRecorder &pages, const ReplayTarget &target, PageRange range,
                 const CopyPlan &plan, const ReplayProgress &progress = {});

// One page's commands onto a painter, at the given resolution and offset.
void replayPage(const PageRecorder &pages, int page, QPainter &painter, double scaleX,
                double scaleY, int offsetX = 0, int offsetY = 0);

// The canvas every replay starts from: a thin black solid pen, no brush, shapes not smoothed
// (pixel edges are part of the page's arithmetic), text smoothed.
void preparePainter(QPainter &painter);

} // namespace report
