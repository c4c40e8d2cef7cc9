#pragma once

#include <QPointer>
#include <QTableView>

namespace ui {

class RowWindowModel;

// A table view for a model of any length. Qt's views keep state for every row (the vertical
// header's sections) and spend time in proportion to the row count whenever it is set: some
// 20 ns a row, 0.4 s at twenty million. Above windowedAbove() rows this view therefore shows
// the model through a window of WindowRows rows that moves with the scroll bar, whose range
// spans the whole model, so Qt's view and header only ever hold the window. Rows there are all
// of the vertical header's default section size. At or below the limit the view holds the model
// itself, as any QTableView.
//
// The functions below speak of the model's rows. QTableView's own (currentIndex(), rowAt(),
// model()) speak of the rows the view holds: the window's when windowed.
class WindowedTableView : public QTableView
{
    Q_OBJECT

public:
    static constexpr int DefaultWindowedAbove = 100000;
    // A few pages of the tallest grid: scrolling moves the window once in a hundred rows or so.
    static constexpr int WindowRows = 256;

    explicit WindowedTableView(QWidget *parent = nullptr);
    ~WindowedTableView() override;

    // Shows `model` (use instead of setModel()). The view follows its resets; a model that
    // inserts or removes rows otherwise is shown afresh from its first row.
    void setSourceModel(QAbstractItemModel *model);
    QAbstractItemModel *sourceModel() const { return m_source; }
    // Applies from the model's next reset.
    void setWindowedAbove(int rows) { m_windowedAbove = rows; }
    bool isWindowed() const;

    // The model's current row; -1 when none.
    int currentSourceRow() const;
    // Makes the row current and selected, and scrolls it into view.
    void setCurrentSourceRow(int row);
    void scrollToSourceRow(int row, ScrollHint hint = EnsureVisible);
    // The model's row shown at `y` in the viewport; -1 when none is.
    int sourceRowAt(int y) const;

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

Q_SIGNALS:
    void currentSourceRowChanged(int row);

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    void sourceReset();
    void holdModel(QAbstractItemModel *model);
    void viewCurrentChanged(const QModelIndex &current);
    int sourceRows() const;
    // Rows wholly in the viewport.
    int pageRows() const;
    int lastTop() const;
    // Windowed: shows the model's rows from `top` on, moving the window when they leave it.
    void showTop(int top);
    void moveWindow(int first);
    // The scroll bar over the model's rows, at `value`.
    void syncScrollBar(int value);
    int currentColumn() const;

    QPointer<QAbstractItemModel> m_source;
    RowWindowModel *m_window = nullptr;
    int m_windowedAbove = DefaultWindowedAbove;
    int m_top = 0;
    int m_current = -1;
    // Set while this class moves the scroll bar or the current index itself: Qt's reactions to
    // those are not the user's scrolling.
    bool m_syncing = false;
};

} // namespace ui
