#pragma once

#include <QDate>
#include <QDialog>
#include <QFont>
#include <QRect>
#include <array>

class TDateEdit;

// The borderless month calendar a date edit drops down. It starts on the day the edit's text
// names (today when the text is empty), moves with the keys and the mouse, and writes the day
// picked into the edit. Everything in it is drawn here.
class TfrmCalPop : public QDialog
{
    Q_OBJECT

public:
    static constexpr int CellCount = 42;

    // Placed below the edit, or above it when the screen ends below; moved left to fit.
    explicit TfrmCalPop(TDateEdit *edit);

    QDate CurrentDate() const { return m_current; }
    // Cells are numbered 1 to 42, row by row from the locale's first day of the week; 0 is no
    // cell.
    int CurrentCell() const { return m_currentCell; }
    int PreviousCell() const { return m_previousCell; }
    // The day a cell shows, 0 for a blank cell.
    int CellDay(int cell) const { return cell >= 1 && cell <= CellCount ? m_days[cell - 1] : 0; }
    bool Tracking() const { return m_tracking; }

    int CellUnit() const { return m_unit; }
    int RowHeight() const { return m_rowHeight; }
    QRect CellRect(int cell) const;
    QRect GridRect() const;
    QRect PreviousMonthRect() const;
    QRect NextMonthRect() const;
    // The cell under a point strictly inside the day grid, else -1.
    int CellAt(const QPoint &point) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // Every move of the highlighted day goes through here.
    void moveBy(int days);
    void moveAndRedrawCells(int days);
    void previousMonth();
    void nextMonth();
    void yearForward();
    void yearBack();
    void fillCells();
    // Digits typed in a row; the fourth makes them a year to go to. False for other keys.
    bool typeYearDigit(const QString &typed);
    void goToYear(int year);
    void pick();
    void placeBeside(const TDateEdit *edit);

    void paintMonthButton(QPainter &painter, const QRect &box, bool pointsLeft) const;
    void paintCell(QPainter &painter, int cell, bool current) const;
    bool isValidDay(int cell) const;
    QDate cellDate(int cell) const;

    TDateEdit *m_edit;
    QFont m_font;
    QDate m_current;
    QDate m_old;
    std::array<int, CellCount> m_days{};
    int m_firstWeekday = 1; // column of the shown month's first day
    QString m_typedYear;
    int m_currentCell = 0;
    int m_previousCell = 0;
    int m_unit = 0;
    int m_rowHeight = 0;
    bool m_tracking = false;
};
