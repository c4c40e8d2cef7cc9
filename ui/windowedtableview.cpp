#include "ui/windowedtableview.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>

namespace ui {

// Rows first() to first() + rowCount() - 1 of a model, as rows 0 on. Moving the window changes
// every row's contents but not their number, which a view takes as a repaint.
class RowWindowModel : public QAbstractTableModel
{
public:
    explicit RowWindowModel(QObject *parent) : QAbstractTableModel(parent) {}

    void setSource(QAbstractItemModel *source)
    {
        if (m_source)
            disconnect(m_source, nullptr, this, nullptr);
        m_source = source;
        if (!source)
            return;
        connect(source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                    const auto [first, last] = mapped(topLeft.row(), bottomRight.row());
                    if (first <= last)
                        Q_EMIT dataChanged(index(first, topLeft.column()),
                                           index(last, bottomRight.column()));
                });
        connect(source, &QAbstractItemModel::headerDataChanged, this,
                [this](Qt::Orientation orientation, int from, int to) {
                    if (orientation == Qt::Horizontal) {
                        Q_EMIT headerDataChanged(orientation, from, to);
                        return;
                    }
                    const auto [first, last] = mapped(from, to);
                    if (first <= last)
                        Q_EMIT headerDataChanged(orientation, first, last);
                });
    }

    int first() const { return m_first; }
    bool holds(int sourceRow) const
    {
        return sourceRow >= m_first && sourceRow < m_first + m_rows;
    }

    void reset(int first)
    {
        beginResetModel();
        m_first = first;
        m_rows = m_source ? std::min(WindowedTableView::WindowRows, m_source->rowCount()) : 0;
        endResetModel();
    }

    void moveTo(int first)
    {
        m_first = first;
        if (m_rows == 0 || columnCount() == 0)
            return;
        Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
        Q_EMIT headerDataChanged(Qt::Vertical, 0, m_rows - 1);
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || !m_source ? 0 : m_source->columnCount();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return m_source ? m_source->index(m_first + index.row(), index.column()).data(role)
                        : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (!m_source)
            return {};
        return m_source->headerData(orientation == Qt::Vertical ? m_first + section : section,
                                    orientation, role);
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return m_source ? m_source->flags(m_source->index(m_first + index.row(), index.column()))
                        : Qt::NoItemFlags;
    }

private:
    // The window's rows among the model's rows from..to; first > last when none.
    std::pair<int, int> mapped(int from, int to) const
    {
        return {std::max(from, m_first) - m_first, std::min(to, m_first + m_rows - 1) - m_first};
    }

    QPointer<QAbstractItemModel> m_source;
    int m_first = 0;
    int m_rows = 0;
};

WindowedTableView::WindowedTableView(QWidget *parent)
    : QTableView(parent), m_window(new RowWindowModel(this))
{
}

WindowedTableView::~WindowedTableView() = default;

void WindowedTableView::setSourceModel(QAbstractItemModel *model)
{
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = model;
    m_window->setSource(model);
    if (model) {
        // Connected before the view takes the model, so that this view hears of a reset first:
        // a model grown past the limit is then swapped for the window before Qt's view would
        // lay out all its rows.
        connect(model, &QAbstractItemModel::modelReset, this, &WindowedTableView::sourceReset);
        // Other changes Qt's view follows by itself while it holds the model.
        const auto changed = [this] {
            if (isWindowed() || sourceRows() > m_windowedAbove)
                sourceReset();
        };
        connect(model, &QAbstractItemModel::layoutChanged, this, changed);
        connect(model, &QAbstractItemModel::rowsInserted, this, changed);
        connect(model, &QAbstractItemModel::rowsRemoved, this, changed);
    }
    holdModel(model);
    sourceReset();
}

bool WindowedTableView::isWindowed() const
{
    return m_source && model() == m_window;
}

void WindowedTableView::holdModel(QAbstractItemModel *model)
{
    if (this->model() == model)
        return;
    // setModel() makes a selection model of its own and leaves the old one to its caller.
    QItemSelectionModel *previous = selectionModel();
    setModel(model);
    delete previous;
    if (selectionModel())
        connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                &WindowedTableView::viewCurrentChanged);
}

void WindowedTableView::sourceReset()
{
    const bool windowed = m_source && m_source->rowCount() > m_windowedAbove;
    m_top = 0;
    m_current = -1;
    if (!windowed) {
        if (model() != m_source)
            holdModel(m_source);
        return;
    }
    {
        const QScopedValueRollback<bool> syncing(m_syncing, true);
        m_window->reset(0);
    }
    holdModel(m_window);
    showTop(0);
    syncScrollBar(m_top);
}

void WindowedTableView::viewCurrentChanged(const QModelIndex &current)
{
    if (m_syncing)
        return;
    int row = current.row();
    if (isWindowed() && current.isValid())
        row += m_window->first();
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentSourceRowChanged(row);
}

int WindowedTableView::sourceRows() const
{
    return m_source ? m_source->rowCount() : 0;
}

int WindowedTableView::pageRows() const
{
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

int WindowedTableView::lastTop() const
{
    return std::max(0, sourceRows() - pageRows());
}

int WindowedTableView::currentColumn() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : horizontalHeader()->logicalIndex(0);
}

int WindowedTableView::currentSourceRow() const
{
    if (isWindowed())
        return m_current;
    return currentIndex().row();
}

void WindowedTableView::setCurrentSourceRow(int row)
{
    if (!isWindowed()) {
        if (model())
            setCurrentIndex(model()->index(row, std::max(0, currentColumn())));
        return;
    }
    if (row < 0 || row >= sourceRows())
        return;
    if (!m_window->holds(row))
        moveWindow(std::clamp(row - WindowRows / 2, 0, sourceRows() - m_window->rowCount()));
    // The window now holds the row, wherever the viewport stands: put it in view first, so that
    // the rows shown are the window's when Qt reacts to the new current index.
    scrollToSourceRow(row);
    setCurrentIndex(m_window->index(row - m_window->first(), std::max(0, currentColumn())));
}

void WindowedTableView::scrollToSourceRow(int row, ScrollHint hint)
{
    if (!isWindowed()) {
        if (model())
            QTableView::scrollTo(model()->index(row, std::max(0, currentColumn())), hint);
        return;
    }
    const int page = pageRows();
    int top = m_top;
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            top = row;
        else if (row >= top + page)
            top = row - page + 1;
        break;
    case PositionAtTop:
        top = row;
        break;
    case PositionAtBottom:
        top = row - page + 1;
        break;
    case PositionAtCenter:
        top = row - page / 2;
        break;
    }
    showTop(top);
    syncScrollBar(m_top);
}

int WindowedTableView::sourceRowAt(int y) const
{
    const int row = rowAt(y);
    return row >= 0 && isWindowed() ? m_window->first() + row : row;
}

void WindowedTableView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!isWindowed()) {
        QTableView::scrollTo(index, hint);
        return;
    }
    // Qt scrolls to the current index when this class re-marks it after moving the window;
    // that is no request of the user's.
    if (m_syncing || !index.isValid())
        return;
    // The columns as Qt would scroll them; the rows are this class's.
    {
        const QScopedValueRollback<bool> syncing(m_syncing, true);
        QTableView::scrollTo(index, hint);
    }
    scrollToSourceRow(m_window->first() + index.row(), hint);
}

QModelIndex WindowedTableView::moveCursor(CursorAction cursorAction,
                                          Qt::KeyboardModifiers modifiers)
{
    if (!isWindowed() || sourceRows() == 0)
        return QTableView::moveCursor(cursorAction, modifiers);
    const int rows = sourceRows();
    const int from = m_current >= 0 ? m_current : m_top;
    int row = from;
    int column = std::max(0, currentColumn());
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (cursorAction) {
    case MoveUp:
        row = from - 1;
        break;
    case MoveDown:
        row = from + 1;
        break;
    case MovePageUp:
        row = from - pageRows();
        break;
    case MovePageDown:
        row = from + pageRows();
        break;
    case MoveHome:
        if (ctrl)
            row = 0;
        else
            column = horizontalHeader()->logicalIndex(0);
        break;
    case MoveEnd:
        if (ctrl)
            row = rows - 1;
        else
            column = horizontalHeader()->logicalIndex(horizontalHeader()->count() - 1);
        break;
    default: {
        // Sideways moves stay on the row: Qt's, once the row is in the window.
        if (!m_window->holds(from))
            setCurrentSourceRow(from);
        const QModelIndex moved = QTableView::moveCursor(cursorAction, modifiers);
        return moved.isValid() ? m_window->index(from - m_window->first(), moved.column())
                               : moved;
    }
    }
    row = std::clamp(row, 0, rows - 1);
    if (!m_window->holds(row))
        moveWindow(std::clamp(row - WindowRows / 2, 0, rows - m_window->rowCount()));
    scrollToSourceRow(row);
    return m_window->index(row - m_window->first(), column);
}

void WindowedTableView::scrollContentsBy(int dx, int dy)
{
    if (!isWindowed()) {
        QTableView::scrollContentsBy(dx, dy);
        return;
    }
    if (dx)
        QTableView::scrollContentsBy(dx, 0);
    // The scroll bar counts the model's rows: its value is the top row.
    if (dy && !m_syncing)
        showTop(verticalScrollBar()->value());
}

void WindowedTableView::updateGeometries()
{
    if (!isWindowed()) {
        QTableView::updateGeometries();
        return;
    }
    // Qt sets the scroll bar to the window's rows; it is set back to the model's. Called while
    // this class moves the window (a header whose sections change lays itself out again), the
    // rows are placed by the move's caller, and the scroll bar keeps its value.
    const bool withinMove = m_syncing;
    const int top = withinMove ? verticalScrollBar()->value() : m_top;
    {
        const QScopedValueRollback<bool> syncing(m_syncing, true);
        QTableView::updateGeometries();
    }
    if (!withinMove)
        showTop(top);
    syncScrollBar(withinMove ? top : m_top);
}

void WindowedTableView::showTop(int top)
{
    const int rows = sourceRows();
    const int page = pageRows();
    top = std::clamp(top, 0, lastTop());
    // The rows wholly shown and the one cut at the bottom.
    const int wanted = std::min(rows, top + page + 1);
    if (top < m_window->first() || wanted > m_window->first() + m_window->rowCount()) {
        const int spare = m_window->rowCount() - page;
        moveWindow(std::clamp(top - spare / 2, 0, rows - m_window->rowCount()));
    }
    m_top = top;
    // At the end the last row sits on the viewport's bottom edge, as Qt places it.
    if (top == lastTop() && rows > page)
        verticalHeader()->setOffsetToLastSection();
    else
        verticalHeader()->setOffsetToSectionPosition(top - m_window->first());
    viewport()->update();
}

void WindowedTableView::moveWindow(int first)
{
    if (first == m_window->first())
        return;
    const int column = std::max(0, currentColumn());
    const QScopedValueRollback<bool> syncing(m_syncing, true);
    m_window->moveTo(first);
    // The view's current index is a row of the window: it follows the model's current row, or
    // there is none while that row is outside the window.
    if (m_window->holds(m_current))
        selectionModel()->setCurrentIndex(
            m_window->index(m_current - first, column),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        selectionModel()->clear();
}

void WindowedTableView::syncScrollBar(int value)
{
    QScrollBar *bar = verticalScrollBar();
    const QScopedValueRollback<bool> syncing(m_syncing, true);
    bar->setRange(0, lastTop());
    bar->setPageStep(pageRows());
    bar->setSingleStep(1);
    bar->setValue(value);
}

} // namespace ui
