#include "controls/calpop.h"

#include "controls/dateedit.h"
#include "intl/shortdate.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QWheelEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>

namespace {


// Areas are given as left, top, right and bottom, the right and bottom edges outside the area.
QRect area(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// Presses and releases count on an area's right and bottom edges too.
bool containsWithEdges(const QRect &rect, const QPoint &point)
{
    return point.x() >= rect.left() && point.x() <= rect.left() + rect.width() &&
           point.y() >= rect.top() && point.y() <= rect.top() + rect.height();
}

int roundHalfToEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

// The column of a day, 1 to 7, counted from the first day of the week of the locale that
// names the months too, so that the heading and the columns speak one language.
int weekdayColumn(int dayOfWeek)
{
    return (dayOfWeek - int(QLocale().firstDayOfWeek()) + 7) % 7 + 1;
}

} // namespace

TfrmCalPop::TfrmCalPop(TDateEdit *edit)
    : QDialog(edit, Qt::Dialog | Qt::FramelessWindowHint), m_edit(edit)
{
    setObjectName(QStringLiteral("frmCalPop"));
    setModal(true);
    setAccessibleName(QStringLiteral("Calendar"));
    // The calendar asks for MS Sans Serif at 6 points; that face has no size below 8 points,
    // which is what such a request is drawn with. Its metrics decide every size in the window.
    m_font = QFont(QStringLiteral("MS Sans Serif"));
    m_font.setPixelSize(11);
    setFont(m_font);
    const QFontMetrics metrics(m_font);
    m_unit = roundHalfToEven(1.6 * metrics.averageCharWidth());
    m_rowHeight = roundHalfToEven(metrics.height() * 4.0 / 3.0);
    setFixedSize(21 * m_unit + 8, 8 * m_rowHeight + 2);
    placeBeside(edit);

    // The date button only opens the calendar for a text that is empty or names a date.
    const QDate start = edit->text().isEmpty() ? QDate() : edit->TextDate().value_or(QDate());
    m_current = start.isValid() ? start : QDate::currentDate();
    m_old = m_current;
    fillCells();
    m_currentCell = m_firstWeekday + m_current.day() - 1;
}

void TfrmCalPop::placeBeside(const TDateEdit *edit)
{
    const QRect editRect(edit->mapToGlobal(QPoint(0, 0)), edit->size());
    // The screen's free area, so that a panel along its edge does not cover the calendar.
    const QScreen *screen = edit->screen();
    const QRect available = screen ? screen->availableGeometry() : editRect;
    const int screenRight = available.left() + available.width();
    const int screenBottom = available.top() + available.height();
    const int editBottom = editRect.top() + editRect.height();

    int left = editRect.left() + 1;
    if (screenRight < left + 1 + width())
        left = screenRight - width() - 1;
    int top = editBottom + 1;
    if (screenBottom < top + height())
        top = editRect.top() - height();
    move(left, top);
}

QRect TfrmCalPop::CellRect(int cell) const
{
    const int row = (cell + 6) / 7;
    const int column = cell - 7 * (row - 1);
    return area(4 + 3 * m_unit * (column - 1), m_rowHeight * (row + 1) + 2, 4 + 3 * m_unit * column,
                m_rowHeight * (row + 2) + 2);
}

QRect TfrmCalPop::GridRect() const
{
    return area(4, 2 * m_rowHeight + 2, 21 * m_unit + 4, 8 * m_rowHeight + 2);
}

QRect TfrmCalPop::PreviousMonthRect() const
{
    return area(4, 2, 20, 18);
}

QRect TfrmCalPop::NextMonthRect() const
{
    return area(21 * m_unit - 12, 2, 21 * m_unit + 4, 18);
}

int TfrmCalPop::CellAt(const QPoint &point) const
{
    const QRect grid = GridRect();
    if (point.x() <= grid.left() || point.x() >= grid.left() + grid.width() ||
        point.y() <= grid.top() || point.y() >= grid.top() + grid.height())
        return -1;
    const int row = static_cast<int>((point.y() - 2) / double(m_rowHeight) - 1);
    for (int column = 1; column <= 7; ++column) {
        if (4 + 3 * m_unit * (column - 1) <= point.x() && point.x() <= 4 + 3 * m_unit * column)
            return 7 * (row - 1) + column;
    }
    return -1;
}

void TfrmCalPop::fillCells()
{
    m_firstWeekday = weekdayColumn(QDate(m_current.year(), m_current.month(), 1).dayOfWeek());
    const int length = m_current.daysInMonth();
    for (int cell = 1; cell <= CellCount; ++cell) {
        const bool inMonth = cell >= m_firstWeekday && cell <= m_firstWeekday + length - 1;
        m_days[cell - 1] = inMonth ? cell - m_firstWeekday + 1 : 0;
    }
}

void TfrmCalPop::moveBy(int days)
{
    m_previousCell = m_currentCell;
    m_old = m_current;
    m_current = m_current.addDays(days);
    if (m_current.month() != m_old.month() || m_current.year() != m_old.year())
        fillCells();
    m_currentCell = m_firstWeekday + m_current.day() - 1;
}

void TfrmCalPop::moveAndRedrawCells(int days)
{
    moveBy(days);
    if (m_current.month() != m_old.month() || m_current.year() != m_old.year()) {
        update();
        return;
    }
    // The title names the day too, so it is drawn again with the two cells.
    const QRect title = area(20, 2, width() - 20, m_rowHeight);
    update(QRegion(CellRect(m_previousCell)) + CellRect(m_currentCell) + title);
}

void TfrmCalPop::previousMonth()
{
    const QDate lastOfPrevious = QDate(m_current.year(), m_current.month(), 1).addDays(-1);
    moveBy(-lastOfPrevious.daysInMonth());
    update();
}

void TfrmCalPop::nextMonth()
{
    moveBy(m_current.daysInMonth());
    update();
}

// A year is 365 days plus the 29 February it passes. From March on that is the February of the
// following year, before March the one of this year.
void TfrmCalPop::yearForward()
{
    const int month = m_current.month();
    QDate target = m_current;
    if (QDate::isLeapYear(target.year()) && month <= 2)
        target = target.addDays(1);
    target = target.addDays(365);
    if (QDate::isLeapYear(target.year()) && month >= 3)
        target = target.addDays(1);
    moveBy(int(m_current.daysTo(target)));
    update();
}

void TfrmCalPop::yearBack()
{
    const int month = m_current.month();
    QDate target = m_current;
    if (QDate::isLeapYear(target.year()) && month >= 3)
        target = target.addDays(-1);
    target = target.addDays(-365);
    if (QDate::isLeapYear(target.year()) && month <= 2)
        target = target.addDays(-1);
    moveBy(int(m_current.daysTo(target)));
    update();
}

void TfrmCalPop::pick()
{
    m_edit->SetDateValue(QDateTime(m_current, QTime(0, 0)));
    accept();
}

void TfrmCalPop::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pick();
        break;
    case Qt::Key_Escape:
        m_tracking = false;
        reject();
        break;
    case Qt::Key_PageUp:
        previousMonth();
        break;
    case Qt::Key_PageDown:
        nextMonth();
        break;
    case Qt::Key_Home:
        yearForward();
        break;
    case Qt::Key_End:
        yearBack();
        break;
    case Qt::Key_Left:
        moveAndRedrawCells(-1);
        break;
    case Qt::Key_Right:
        moveAndRedrawCells(1);
        break;
    case Qt::Key_Up:
        moveAndRedrawCells(-7);
        break;
    case Qt::Key_Down:
        moveAndRedrawCells(7);
        break;
    default:
        if (!typeYearDigit(event->text())) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

bool TfrmCalPop::typeYearDigit(const QString &typed)
{
    if (typed.size() != 1 || !typed.front().isDigit() || typed.front().unicode() > u'9')
        return false;
    // Four digits typed one after the other name a year: the calendar goes there at once,
    // instead of a press of Home or End for every year in between.
    m_typedYear += typed;
    if (m_typedYear.size() == 4) {
        const int year = m_typedYear.toInt();
        m_typedYear.clear();
        if (year >= 1)
            goToYear(year);
    }
    return true;
}

void TfrmCalPop::goToYear(int year)
{
    // 29 February of a year without one becomes the 28th.
    const QDate first(year, m_current.month(), 1);
    const QDate target(year, m_current.month(), std::min(m_current.day(), first.daysInMonth()));
    moveBy(int(m_current.daysTo(target)));
    update();
}

void TfrmCalPop::wheelEvent(QWheelEvent *event)
{
    // The wheel over the heading turns the year, a mouse's way to go far quickly.
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0 && event->position().y() < m_rowHeight)
        goToYear(std::max(1, m_current.year() + steps));
    event->accept();
}

void TfrmCalPop::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    if (containsWithEdges(PreviousMonthRect(), point)) {
        previousMonth();
    } else if (containsWithEdges(NextMonthRect(), point)) {
        nextMonth();
    } else if (containsWithEdges(GridRect(), point)) {
        const int cell = CellAt(point);
        m_tracking = CellDay(cell) > 0;
        if (m_tracking)
            moveAndRedrawCells(cell - m_currentCell);
    }
}

void TfrmCalPop::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (!m_tracking || !containsWithEdges(GridRect(), point))
        return;
    const int cell = CellAt(point);
    if (CellDay(cell) > 0 && cell != m_currentCell)
        moveAndRedrawCells(cell - m_currentCell);
}

void TfrmCalPop::mouseReleaseEvent(QMouseEvent *)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    pick();
}

QDate TfrmCalPop::cellDate(int cell) const
{
    return QDate(m_current.year(), m_current.month(), CellDay(cell));
}

bool TfrmCalPop::isValidDay(int cell) const
{
    return m_edit->IsValidDate(cellDate(cell));
}

void TfrmCalPop::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int w = width();
    const int h = height();
    const int gridRight = 21 * m_unit + 4;
    const QPalette &colours = palette();

    painter.fillRect(rect(), colours.color(QPalette::Button));
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, h - 1);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(0, h - 1, w - 1, h - 1);
    painter.drawLine(w - 1, 0, w - 1, h - 1);

    QFont bold = m_font;
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(colours.color(QPalette::ButtonText));
    const QRect title = area(20, 2, w - 20, m_rowHeight);
    painter.fillRect(title, colours.color(QPalette::Button));
    const controls::ShortDateFormat titleFormat{m_edit->DateFormat().separator,
                                                QStringLiteral("mmmm d, yyyy")};
    painter.drawText(title, Qt::AlignCenter | Qt::TextSingleLine, titleFormat.format(m_current));

    const QLocale locale;
    for (int column = 1; column <= 7; ++column) {
        const QRect header = area(4 + 3 * m_unit * (column - 1), m_rowHeight + 2,
                                  4 + 3 * m_unit * column, 2 * m_rowHeight + 2);
        const int dayOfWeek = (int(locale.firstDayOfWeek()) + column - 2) % 7 + 1;
        painter.drawText(header, Qt::AlignCenter | Qt::TextSingleLine,
                         locale.standaloneDayName(dayOfWeek, QLocale::ShortFormat));
    }
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(4, 2 * m_rowHeight - 1, gridRight - 1, 2 * m_rowHeight - 1);
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(4, 2 * m_rowHeight, gridRight - 1, 2 * m_rowHeight);

    for (int cell = 1; cell <= CellCount; ++cell) {
        if (CellDay(cell) > 0)
            paintCell(painter, cell, false);
    }
    paintMonthButton(painter, PreviousMonthRect(), true);
    paintMonthButton(painter, NextMonthRect(), false);
    if (CellDay(m_currentCell) > 0)
        paintCell(painter, m_currentCell, true);
}

void TfrmCalPop::paintCell(QPainter &painter, int cell, bool current) const
{
    const QRect box = CellRect(cell);
    const QPalette &colours = palette();
    QFont font = m_font;
    font.setBold(current);
    painter.setFont(font);
    painter.fillRect(box, colours.color(QPalette::Button));
    painter.setPen(isValidDay(cell) ? m_edit->ValidDateColor()
                                    : colours.color(QPalette::ButtonText));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, QString::number(CellDay(cell)));
    const int right = box.left() + box.width() - 1;
    const int bottom = box.top() + box.height() - 1;
    if (cellDate(cell) == QDate::currentDate()) {
        // Today wears a frame in the highlight colour, inside the raised edge of the current day.
        painter.setPen(colours.color(QPalette::Highlight));
        painter.drawRect(QRect(box.left() + 2, box.top() + 1, box.width() - 5, box.height() - 3));
    }
    if (!current)
        return;
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(box.left(), box.top(), right, box.top());
    painter.drawLine(box.left(), box.top(), box.left(), bottom);
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(box.left(), bottom, right, bottom);
    painter.drawLine(right, box.top(), right, bottom);
}

void TfrmCalPop::paintMonthButton(QPainter &painter, const QRect &box, bool pointsLeft) const
{
    const int left = box.left();
    const int top = box.top();
    const int right = left + box.width() - 1;
    const int bottom = top + box.height() - 1;
    const QPalette &colours = palette();
    painter.fillRect(box, colours.color(QPalette::Button));
    painter.setPen(colours.color(QPalette::Shadow));
    painter.drawRect(QRect(left, top, box.width() - 1, box.height() - 1));
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(left + 1, top + 1, right - 1, top + 1);
    painter.drawLine(left + 1, top + 1, left + 1, bottom - 1);
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(left + 1, bottom - 1, right - 1, bottom - 1);
    painter.drawLine(right - 1, top + 1, right - 1, bottom - 1);

    // A solid triangle four pixels deep and seven high, built from vertical strokes.
    const int middle = top + box.height() / 2 - 1;
    const int tip = pointsLeft ? left + 5 : right - 5;
    const int step = pointsLeft ? 1 : -1;
    painter.setPen(colours.color(QPalette::ButtonText));
    for (int i = 0; i < 4; ++i)
        painter.drawLine(tip + step * i, middle - i, tip + step * i, middle + i);
}
