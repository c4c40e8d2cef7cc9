#pragma once

#include "report/drawcmds.h"
#include "report/pagestore.h"
#include "report/reportfont.h"

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace report {

// Horizontal alignment of text boxes, in the order of the framework's alignment type.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

struct ReportBrush {
    QColor color = QColor(0xFF, 0xFF, 0xFF);
    TBrushStyle style = bsClear;
};

// The pages of a report as lists of drawing commands, and the pen, brush, font and text
// settings that the next recorded command takes. A report producer records in inches; the
// preview, the printer and the file export replay the same commands.
//
// This part knows no window, so reports can be built and saved without a screen. The preview
// widget (TFormGenWin) is a PageRecorder with a window around it.
//
// Finished pages are kept by a PageStore, which moves them to a temporary file once they take
// more memory than its budget: a report of any length is recorded, shown, printed and saved in
// bounded memory.
class PageRecorder
{
public:
    PageRecorder();
    virtual ~PageRecorder();
    PageRecorder(const PageRecorder &) = delete;
    PageRecorder &operator=(const PageRecorder &) = delete;

    // Recording: each call appends one command to the page now being recorded (PageCount).
    void Line(double X1, double Y1, double X2, double Y2);
    void Box(double X1, double Y1, double X2, double Y2);
    void Ellipse(double X1, double Y1, double X2, double Y2);
    // A text box, recorded even when the text is empty (its frame still shows).
    void TextRect(const QString &Text, double X1, double Y1, double X2, double Y2);
    // The same, but an empty text records nothing.
    void StrRect(const QString &Text, double X1, double Y1, double X2, double Y2);
    void RotateText(const QString &Text, double X, double Y, double Angle);
    // At natural size: one bitmap pixel is a hundredth of an inch.
    void GraphicImage(const QImage &Bitmap, double X, double Y);
    void SizedImage(const QImage &Bitmap, double X1, double Y1, double X2, double Y2);
    void StartMultiLine(double X, double Y);
    void AddLine(const QString &S);
    void NewPage();

    // Measuring with the current Font, in inches (see textmeasure.h for the resolution).
    double GetTextHeight(const QString &S) const;
    double GetTextWidth(const QString &S) const;

    // Headless build: discards the pages, starts again on page 1 at the page size of
    // PhyWidth × PhyHeight and lets `build` record. What the preview's Execute does, without
    // a window.
    void Build(const std::function<void(PageRecorder &)> &build);

    // The number of commands recorded, on every page.
    int CommandCount() const { return m_store.commandCount() + int(m_current->size()); }
    // One page's commands, in recording order (empty for a page without commands or out of
    // range). A page that went to the temporary file is read back, which can throw dbe::Error.
    RecordedPage PageCommands(int page) const;

    // Bytes of finished pages kept in memory before they go to a temporary file in the user's
    // cache folder (see PageStore).
    void SetMemoryBudget(qint64 bytes) { m_store.setMemoryBudget(bytes); }
    const PageStore &Store() const { return m_store; }

    // Page size in tenths of an inch; a change also sets PageWidth/PageHeight.
    int PhyWidth() const { return m_phyWidth; }
    void SetPhyWidth(int value);
    int PhyHeight() const { return m_phyHeight; }
    void SetPhyHeight(int value);
    double PageWidth() const { return m_pageWidth; }
    double PageHeight() const { return m_pageHeight; }
    virtual void SetPageSize(double Width, double Height);

    // The page now being recorded; after a build, the number of pages.
    int PageCount() const { return m_pageCount; }

    const ReportFont &Font() const { return m_font; }
    ReportFont &Font() { return m_font; }
    void SetFont(const ReportFont &font) { m_font = font; }
    const ReportBrush &Brush() const { return m_brush; }
    ReportBrush &Brush() { return m_brush; }
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value) { m_alignment = value; }

    double PenWidth = 0.01;
    double TextMargin = 0.025;
    bool WordWrap = true;
    bool DrawBox = false;
    bool ClipText = true;
    bool CenterVertically = false;
    double MultiX = 0;
    double MultiY = 0;

protected:
    // Told after NewPage with the number of pages finished; the preview shows its progress
    // here, and may throw to stop the build.
    virtual void PageFinished(int finishedPages) { Q_UNUSED(finishedPages); }
    void discardCommands();
    // Empty pages and the recording settings back to their defaults, as Clear wants them.
    void resetRecording();
    // Steps shared by Build and the preview's Execute: no pages, page 1, page size from
    // PhyWidth × PhyHeight.
    void restartRecording();

private:
    void append(std::unique_ptr<TDrawCmd> command);
    std::unique_ptr<TTextBoxCmd> textBox(const QString &text, double x1, double y1, double x2,
                                         double y2) const;
    quint16 textFlags() const;

    PageStore m_store; // pages 1 to PageCount() - 1
    // The page being recorded, PageCount(); shared so that a view of it stays valid.
    std::shared_ptr<PageCommandList> m_current = std::make_shared<PageCommandList>();
    int m_pageCount = 1;
    int m_phyWidth = 85;
    int m_phyHeight = 110;
    double m_pageWidth = 8.5;
    double m_pageHeight = 11.0;
    ReportFont m_font;
    ReportBrush m_brush;
    TAlignment m_alignment = taLeftJustify;
};

} // namespace report
