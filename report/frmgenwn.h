#pragma once

#include "report/enumset.h"
#include "report/pagerecorder.h"

#include <QFrame>
#include <functional>
#include <memory>

class QDragMoveEvent;
class TfrmPlsWt;
class QDropEvent;
class QPrinter;
class QScrollArea;

enum TFrmGenOption { foShowDialog, foShowPrint };
using TFrmGenOptions = report::EnumSet<TFrmGenOption>;

using TNotifyEvent = std::function<void(QObject *Sender)>;

// The page generator and preview: a panel that records the pages of a report (it is a
// PageRecorder) and shows one page at a time as a white sheet in a scrolling area, at 100 %,
// 50 %, 25 % or a free percentage. Print sends the pages to a printer.
class TFormGenWin : public QFrame, public report::PageRecorder
{
    Q_OBJECT

public:
    explicit TFormGenWin(QWidget *parent = nullptr);
    ~TFormGenWin() override;

    // QFrame's shape "Box" would hide the recorder's Box otherwise.
    using report::PageRecorder::Box;

    // Rebuilds the report: no pages, page 1, page size from PhyWidth × PhyHeight, the
    // please-wait box (foShowDialog) while OnBuildReport records. An error raised by the
    // producer propagates after the box is gone; the pages recorded until then stay.
    //
    // With the box, the preview shows the first page as soon as it is finished, the box counts
    // the pages, and its Cancel stops the build at the next page: the pages recorded until then
    // stay, and Cancelled() says so.
    void Execute();
    bool Cancelled() const { return m_cancelled; }
    // Discards the pages and puts the recording settings back to their defaults.
    void Clear();
    // 100 % → 50 % → 25 % → 100 %; from a free percentage to 100 %.
    void Zoom();
    void NextPage();
    void PrevPage();
    // Shows page `page` (1 to PageCount(); others are ignored).
    void GoToPage(int page);
    // The zoom percentage at which the page's width, or the whole page, fits the visible area
    // (25 to 200). The choice is kept: the zoom follows when the preview is resized, until
    // another zoom is set.
    void FitWidth();
    void FitPage();
    void ScrollDownPage();
    void ScrollUpPage();
    void ScrollRightPage();
    void ScrollLeftPage();
    // Prints the pages (print dialog with foShowPrint, else FromPage/ToPage). True when a job
    // was sent; false when the dialog was cancelled, the job aborted, or the printer failed
    // (the failure is shown in an error box).
    bool Print();

    void SetPageSize(double Width, double Height) override;
    // 1 = 100 %, 2 = 50 %, 3 = 25 %; anything else is ignored.
    void SetZoomLevel(int Level);
    // 25 to 200; anything else is ignored.
    void SetZoomPercent(int Percent);
    int ZoomLevel() const { return m_zoomLevel; }
    int ZoomPercent() const { return m_zoomPercent; }
    int CurrentPage() const { return m_currentPage; }

    TFrmGenOptions Options() const { return m_options; }
    void SetOptions(TFrmGenOptions options) { m_options = options; }
    TNotifyEvent OnBuildReport() const { return m_onBuildReport; }
    void SetOnBuildReport(TNotifyEvent handler) { m_onBuildReport = std::move(handler); }
    // The one listener told after Execute, Clear, Zoom, NextPage, PrevPage, Print and at
    // destruction (then Destroying() is true).
    TNotifyEvent OnChange() const { return m_onChange; }
    void SetOnChange(TNotifyEvent handler) { m_onChange = std::move(handler); }
    bool Destroying() const { return m_destroying; }

    // Printing defaults; 0 means "not set".
    int FromPage = 0;
    int ToPage = 0;
    int Copies = 0;
    bool Collate = false;

    // The printer Print uses; it keeps its settings from one job to the next.
    QPrinter &Printer();

    // Panel look: the border inside the bevel, and whether the outer bevel is shown.
    void SetBorderWidth(int width);
    void SetBevelOuter(bool raised);
    // A click on the page then gives the preview the keyboard focus (Page Up/Down, arrows).
    bool TabStop() const { return m_tabStop; }
    void SetTabStop(bool tabStop);
    // A grey surround with the sheet in its middle, instead of white to the edges.
    void SetSurround(bool surround);

    QScrollArea *ScrollBox() const { return m_scrollBox; }
    QWidget *PaintBox() const { return m_paintBox; }

    // Paints the current page as the paint box shows it (for the paint box; `size` in pixels).
    void PaintPage(QPainter &painter, const QSize &size) const;

    QSize sizeHint() const override { return {193, 145}; }

Q_SIGNALS:
    // Events of the scroll box and paint box, with positions in this panel's coordinates.
    void OnClick();
    void OnDblClick();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void OnMouseMove(Qt::KeyboardModifiers modifiers, const QPoint &pos);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint &pos);
    // A listener that accepts the event accepts the drag.
    void OnDragOver(QDragMoveEvent *event, const QPoint &pos);
    void OnDragDrop(QDropEvent *event, const QPoint &pos);

protected:
    void PageFinished(int finishedPages) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void resizePaintBox(double width, double height);
    void fireChange();
    void repaintPage();
    enum class Fit { None, Width, Page };
    void applyFit();
    Fit m_fit = Fit::None;

    QScrollArea *m_scrollBox = nullptr;
    QWidget *m_paintBox = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    TFrmGenOptions m_options{foShowDialog, foShowPrint};
    TNotifyEvent m_onBuildReport;
    TNotifyEvent m_onChange;
    int m_currentPage = 1;
    int m_zoomLevel = 1;
    int m_zoomPercent = 100;
    bool m_tabStop = false;
    bool m_destroying = false;
    bool m_cancelled = false;
    TfrmPlsWt *m_pleaseWait = nullptr; // while Execute shows it
    qint64 m_lastProgress = 0;
};
