#include "report/frmgenwn.h"

#include "report/pagereplay.h"
#include "report/plswtunt.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The white sheet inside the scroll box; the generator paints the current page on it.
class PagePaintBox : public QWidget
{
public:
    PagePaintBox(const TFormGenWin &generator, QWidget *parent)
        : QWidget(parent), m_generator(generator)
    {
        setObjectName(QStringLiteral("PaintBox"));
        setAutoFillBackground(true);
        QPalette white = palette();
        white.setColor(QPalette::Window, Qt::white);
        setPalette(white);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_generator.PaintPage(painter, size());
    }
    // The generator has seen the mouse through its event filter; the scroll box beneath must
    // not see the same event a second time.
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }
    void mouseMoveEvent(QMouseEvent *event) override { event->accept(); }

private:
    const TFormGenWin &m_generator;
};

QPoint positionOf(const QEvent *event)
{
    return static_cast<const QMouseEvent *>(event)->position().toPoint();
}

} // namespace

TFormGenWin::TFormGenWin(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("FormGenWin"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    resize(193, 145);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox"));
    m_scrollBox->setWidgetResizable(false);
    m_scrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scrollBox->setFocusPolicy(Qt::NoFocus); // keys belong to the generator
    m_scrollBox->setFrameShape(QFrame::NoFrame);
    QPalette white = m_scrollBox->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_scrollBox->setPalette(white);
    m_scrollBox->viewport()->setAutoFillBackground(true);
    m_scrollBox->viewport()->setPalette(white);
    layout->addWidget(m_scrollBox);

    m_paintBox = new PagePaintBox(*this, m_scrollBox);
    m_paintBox->resize(850, 1100);
    m_scrollBox->setWidget(m_paintBox);

    for (QWidget *child : {m_scrollBox->viewport(), m_paintBox}) {
        child->installEventFilter(this);
        child->setMouseTracking(true);
        child->setAcceptDrops(true);
    }
    SetTabStop(false);
}

TFormGenWin::~TFormGenWin()
{
    discardCommands();
    m_destroying = true;
    fireChange();
    for (QWidget *child : {m_scrollBox->viewport(), m_paintBox})
        child->removeEventFilter(this);
}

void TFormGenWin::fireChange()
{
    // The listener may replace itself (the navigator unlinks on destruction).
    const TNotifyEvent handler = m_onChange;
    if (handler)
        handler(this);
}

void TFormGenWin::repaintPage()
{
    m_paintBox->update();
}

void TFormGenWin::resizePaintBox(double width, double height)
{
    m_paintBox->resize(report::roundEven(width), report::roundEven(height));
    repaintPage();
}

void TFormGenWin::SetPageSize(double Width, double Height)
{
    PageRecorder::SetPageSize(Width, Height);
    switch (m_zoomLevel) {
    case 1:
        resizePaintBox(Width * 100, Height * 100);
        break;
    case 2:
    case 3:
        resizePaintBox(Width * 100 / (2 * (m_zoomLevel - 1)),
                       Height * 100 / (2 * (m_zoomLevel - 1)));
        break;
    default:
        resizePaintBox(PhyWidth() * m_zoomPercent * 0.1, PhyHeight() * m_zoomPercent * 0.1);
        break;
    }
}

void TFormGenWin::SetZoomLevel(int Level)
{
    if (Level < 1 || Level > 3 || Level == m_zoomLevel)
        return;
    m_fit = Fit::None;
    m_zoomLevel = Level;
    if (Level == 1)
        resizePaintBox(PhyWidth() * 10.0, PhyHeight() * 10.0);
    else
        resizePaintBox(PhyWidth() * 10.0 / (2 * (Level - 1)),
                       PhyHeight() * 10.0 / (2 * (Level - 1)));
}

void TFormGenWin::SetZoomPercent(int Percent)
{
    if (Percent < 25 || Percent > 200)
        return;
    m_fit = Fit::None;
    m_zoomPercent = Percent;
    m_zoomLevel = 4;
    resizePaintBox(PhyWidth() * Percent * 0.1, PhyHeight() * Percent * 0.1);
}

void TFormGenWin::Zoom()
{
    if (m_zoomLevel == 4)
        m_zoomLevel = 3;
    SetZoomLevel(m_zoomLevel % 3 + 1);
    fireChange();
}

void TFormGenWin::NextPage()
{
    if (m_currentPage >= PageCount())
        return;
    ++m_currentPage;
    repaintPage();
    fireChange();
}

void TFormGenWin::PrevPage()
{
    if (m_currentPage < 2)
        return;
    --m_currentPage;
    repaintPage();
    fireChange();
}

namespace {

// Thrown out of the producer when the please-wait box's Cancel was pressed; Execute catches it.
struct BuildCancelled {
};

// How often a long build lets the screen catch up: often enough for the count to move and
// Cancel to answer, seldom enough to cost nothing measurable.
constexpr qint64 ProgressIntervalMs = 150;

} // namespace

void TFormGenWin::GoToPage(int page)
{
    if (page < 1 || page > PageCount() || page == m_currentPage)
        return;
    m_currentPage = page;
    repaintPage();
    fireChange();
}

void TFormGenWin::applyFit()
{
    if (m_fit == Fit::None)
        return;
    // What the viewport shows without scroll bars, less a margin of grey around the sheet
    // (and rounding) so that no scroll bar comes back.
    const QSize room = m_scrollBox->maximumViewportSize() - QSize(16, 16);
    const double byWidth = room.width() / (PhyWidth() * 0.1);
    const double byHeight = room.height() / (PhyHeight() * 0.1);
    const double scale = m_fit == Fit::Width ? byWidth : std::min(byWidth, byHeight);
    // A page wider than its fit gets a vertical scroll bar, which takes width in turn.
    const int scrollBar = m_scrollBox->verticalScrollBar()->sizeHint().width();
    int percent =
        m_fit == Fit::Width ? int((room.width() - scrollBar) / (PhyWidth() * 0.1)) : int(scale);
    percent = std::clamp(percent, 25, 200);
    const Fit fit = m_fit;
    if (percent != m_zoomPercent || m_zoomLevel != 4)
        SetZoomPercent(percent);
    m_fit = fit;
}

void TFormGenWin::FitWidth()
{
    m_fit = Fit::Width;
    applyFit();
    fireChange();
}

void TFormGenWin::FitPage()
{
    m_fit = Fit::Page;
    applyFit();
    fireChange();
}

void TFormGenWin::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    if (m_fit != Fit::None) {
        applyFit();
        fireChange();
    }
}

void TFormGenWin::SetSurround(bool surround)
{
    QPalette palette = m_scrollBox->palette();
    palette.setColor(QPalette::Window, surround ? QColor(0x80, 0x80, 0x80) : QColor(Qt::white));
    m_scrollBox->setPalette(palette);
    m_scrollBox->viewport()->setPalette(palette);
    m_scrollBox->setAlignment(surround ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
}

void TFormGenWin::Execute()
{
    restartRecording();
    m_currentPage = 1;
    m_cancelled = false;
    std::unique_ptr<TfrmPlsWt> pleaseWait;
    if (m_options.contains(foShowDialog)) {
        pleaseWait = std::make_unique<TfrmPlsWt>(this);
        pleaseWait->SetMessage(QStringLiteral("Creating the Report"));
        pleaseWait->SetPagesSoFar(0);
        // Modal, so that while events are let through only its Cancel takes input: nothing
        // can start a second build or close the window under this one.
        pleaseWait->setWindowModality(Qt::ApplicationModal);
        pleaseWait->show();
        QCoreApplication::processEvents();
    }
    m_pleaseWait = pleaseWait.get();
    m_lastProgress = QDateTime::currentMSecsSinceEpoch();
    // The box goes when pleaseWait does, also when the producer throws.
    const auto forget = qScopeGuard([this] { m_pleaseWait = nullptr; });
    const TNotifyEvent build = m_onBuildReport;
    try {
        if (build)
            build(this);
    } catch (const BuildCancelled &) {
        m_cancelled = true;
    }
    pleaseWait.reset();
    repaintPage();
    fireChange();
}

void TFormGenWin::PageFinished(int finishedPages)
{
    if (!m_pleaseWait)
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (finishedPages != 1 && now - m_lastProgress < ProgressIntervalMs)
        return;
    m_lastProgress = now;
    m_pleaseWait->SetPagesSoFar(finishedPages);
    // The first page is finished: it shows now, and the navigator counts what there is so far.
    if (finishedPages == 1)
        repaintPage();
    fireChange();
    QCoreApplication::processEvents();
    if (m_pleaseWait->CancelRequested())
        throw BuildCancelled();
}

void TFormGenWin::Clear()
{
    resetRecording();
    m_currentPage = 1;
    m_zoomLevel = 1; // the sheet keeps its size until the next zoom
    repaintPage();
    fireChange();
}

namespace {

void triggerScroll(QScrollBar *bar, QAbstractSlider::SliderAction action)
{
    bar->triggerAction(action);
}

} // namespace

void TFormGenWin::ScrollDownPage()
{
    triggerScroll(m_scrollBox->verticalScrollBar(), QAbstractSlider::SliderPageStepAdd);
}

void TFormGenWin::ScrollUpPage()
{
    triggerScroll(m_scrollBox->verticalScrollBar(), QAbstractSlider::SliderPageStepSub);
}

void TFormGenWin::ScrollRightPage()
{
    triggerScroll(m_scrollBox->horizontalScrollBar(), QAbstractSlider::SliderPageStepAdd);
}

void TFormGenWin::ScrollLeftPage()
{
    triggerScroll(m_scrollBox->horizontalScrollBar(), QAbstractSlider::SliderPageStepSub);
}

void TFormGenWin::PaintPage(QPainter &painter, const QSize &size) const
{
    report::preparePainter(painter);
    const int w = size.width();
    const int h = size.height();
    painter.drawPolyline(QPolygon{QPoint(0, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1),
                                  QPoint(w - 1, 0), QPoint(0, 0)});
    const double byWidth = w / PageWidth();
    const double byHeight = h / PageHeight();
    const double scale = byWidth < byHeight ? byWidth : byHeight;
    for (const auto &command : PageCommands(m_currentPage))
        command->Draw(painter, scale);
}

QPrinter &TFormGenWin::Printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void TFormGenWin::SetBorderWidth(int width)
{
    const int inset = lineWidth() * (frameShape() == QFrame::NoFrame ? 0 : 1) + width;
    layout()->setContentsMargins(inset, inset, inset, inset);
}

void TFormGenWin::SetBevelOuter(bool raised)
{
    const QMargins margins = layout()->contentsMargins();
    const int border = margins.left() - (frameShape() == QFrame::NoFrame ? 0 : lineWidth());
    setFrameStyle(raised ? (QFrame::Panel | QFrame::Raised) : QFrame::NoFrame);
    SetBorderWidth(border);
}

void TFormGenWin::SetTabStop(bool tabStop)
{
    m_tabStop = tabStop;
    // Focus by Tab only when asked for; a click focuses through the routing below. Focus
    // given by code works either way.
    setFocusPolicy(tabStop ? Qt::TabFocus : Qt::NoFocus);
}

void TFormGenWin::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_PageUp:
        ScrollUpPage();
        break;
    case Qt::Key_PageDown:
        ScrollDownPage();
        break;
    case Qt::Key_Left:
        ScrollLeftPage();
        break;
    case Qt::Key_Right:
        ScrollRightPage();
        break;
    case Qt::Key_Up:
        m_scrollBox->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        m_scrollBox->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    default:
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool TFormGenWin::eventFilter(QObject *watched, QEvent *event)
{
    auto *child = qobject_cast<QWidget *>(watched);
    if (!child || (child != m_paintBox && child != m_scrollBox->viewport()))
        return QFrame::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        Q_EMIT OnMouseDown(mouse->button(), mouse->modifiers(),
                           child->mapTo(this, positionOf(event)));
        return false;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        Q_EMIT OnMouseMove(mouse->modifiers(), child->mapTo(this, positionOf(event)));
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint pos = positionOf(event);
        Q_EMIT OnMouseUp(mouse->button(), mouse->modifiers(), child->mapTo(this, pos));
        if (mouse->button() == Qt::LeftButton && child->rect().contains(pos)) {
            if (m_tabStop)
                setFocus(Qt::MouseFocusReason);
            Q_EMIT OnClick();
        }
        return false;
    }
    case QEvent::MouseButtonDblClick:
        Q_EMIT OnDblClick();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        drag->ignore();
        Q_EMIT OnDragOver(drag, child->mapTo(this, drag->position().toPoint()));
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        drop->ignore();
        Q_EMIT OnDragDrop(drop, child->mapTo(this, drop->position().toPoint()));
        return true;
    }
    default:
        return false;
    }
}
