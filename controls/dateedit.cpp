#include "controls/dateedit.h"

#include "controls/calpop.h"
#include "ui/messages.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <QTimer>

namespace {

// A calendar sheet with rings and a navy heading, and a small downward arrow at its lower left
// that says the button drops a calendar down.
QIcon calendarGlyph()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QColor gray(0x80, 0x80, 0x80);

    painter.fillRect(QRect(6, 2, 10, 13), Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(QRect(5, 1, 10, 13));
    painter.fillRect(QRect(6, 2, 9, 3), QColor(0, 0, 0x80));
    painter.setPen(gray);
    painter.drawPoint(8, 1);
    painter.drawPoint(12, 1);
    for (int y = 7; y <= 12; y += 2) {
        for (int x = 7; x <= 13; x += 2)
            painter.drawPoint(x, y);
    }
    painter.setPen(Qt::black);
    painter.drawLine(0, 11, 4, 11);
    painter.drawLine(1, 12, 3, 12);
    painter.drawPoint(2, 13);
    painter.end();

    QIcon icon;
    icon.addPixmap(pixmap);
    return icon;
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Focus that comes and goes with the window (another window activated, the calendar opened)
// is no entering or leaving of the control.
bool isWindowFocusChange(const QFocusEvent *event)
{
    return event->reason() == Qt::ActiveWindowFocusReason ||
           event->reason() == Qt::PopupFocusReason;
}

} // namespace

QString notADateMessage(const QString &text)
{
    return QStringLiteral("'%1' is not a valid date").arg(text);
}

TDateButton::TDateButton(TDateEdit *edit) : QToolButton(edit), m_edit(edit)
{
    setObjectName(QStringLiteral("DateButton"));
    setAccessibleName(QStringLiteral("Open calendar"));
    setToolTip(QStringLiteral("Calendar (Alt+Down)"));
    setIcon(calendarGlyph());
    setIconSize(QSize(16, 16));
    // The edit keeps the focus (and its text) while the calendar is chosen from.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    connect(this, &QToolButton::clicked, this, &TDateButton::Click);
}

void TDateButton::Click()
{
    // The calendar opens on the day the text names; a text that names none cannot be shown.
    if (!m_edit->text().trimmed().isEmpty() && !m_edit->TextDate()) {
        ui::showError(m_edit, notADateMessage(m_edit->text()));
        return;
    }
    QPointer<TfrmCalPop> calendar = new TfrmCalPop(m_edit);
    calendar->exec();
    delete calendar;
}

TDateEdit::TDateEdit(QWidget *owner)
    : QLineEdit(owner), m_format(controls::ShortDateFormat::current())
{
    m_button = new TDateButton(this);
    m_button->show();
}

void TDateEdit::SetDateValue(const QDateTime &value)
{
    const QDateTime newValue = value.isValid() ? value : QDateTime();
    if (newValue == m_value)
        return;
    m_value = newValue;
    showValue();
    Q_EMIT OnDateChange(this);
}

bool TDateEdit::SetYear(int year)
{
    if (!m_value.isValid() || year == Year())
        return true;
    return setParts(year, Month(), Day());
}

bool TDateEdit::SetMonth(int month)
{
    if (!m_value.isValid() || month == Month())
        return true;
    return setParts(Year(), month, Day());
}

bool TDateEdit::SetDay(int day)
{
    if (!m_value.isValid() || day == Day())
        return true;
    return setParts(Year(), Month(), day);
}

bool TDateEdit::setParts(int year, int month, int day)
{
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    m_value = QDateTime(date, QTime(0, 0));
    showValue();
    Q_EMIT OnDateChange(this);
    return true;
}

void TDateEdit::AddValidDate(const QDate &date)
{
    if (date.isValid() && !m_validDates.contains(date))
        m_validDates.append(date);
}

void TDateEdit::AddValidDates(const QList<QDate> &dates)
{
    for (const QDate &date : dates)
        AddValidDate(date);
}

std::optional<QDate> TDateEdit::TextDate() const
{
    return m_format.parse(text(), QDate::currentDate());
}

void TDateEdit::showValue()
{
    setText(m_value.isValid() ? m_format.format(m_value.date()) : QString());
    setModified(true); // setText() clears it
}

void TDateEdit::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    const int side = height();
    m_button->setGeometry(width() - side, 0, side, side);
    // Keeps the text from running under the button, which covers the frame too.
    setTextMargins(0, 0, side - style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this),
                   0);
    if (!m_value.isValid())
        SetDateValue(QDateTime::currentDateTime());
}

void TDateEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    // Focus coming back with the window (the calendar closed, another window left) finds the
    // edit as it was. The first focus of a window that opens is an entering all the same: the
    // caret goes where a click at the start would put it, or the first keys land after the text.
    if (isWindowFocusChange(event) && m_entered)
        return;
    m_entered = true;
    m_currentPart = 1;
    findSeparators();
    selectCurrentPart();
}

void TDateEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    if (!isWindowFocusChange(event))
        acceptText();
}

void TDateEdit::hideEvent(QHideEvent *event)
{
    QLineEdit::hideEvent(event);
    m_entered = false;
}

bool TDateEdit::acceptText()
{
    if (const std::optional<QDate> date = TextDate()) {
        SetDateValue(QDateTime(*date, QTime(0, 0)));
        return true;
    }
    // A text that names no date is never replaced by another date: the person corrects it. The
    // message and the focus wait until the focus change under way has finished; doing either
    // from inside it would leave the other widget half focused.
    if (!m_refusing) {
        m_refusing = true;
        QTimer::singleShot(0, this, [this] {
            ui::showError(this, notADateMessage(text()));
            m_refusing = false;
            setFocus(Qt::OtherFocusReason);
        });
    }
    return false;
}

void TDateEdit::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // The text is taken before the dialog's default button acts on the key, so that a date
        // typed and confirmed with Enter is the one the dialog reads. A text that names no date
        // is refused and the key goes no further.
        if (acceptText())
            QLineEdit::keyPressEvent(event);
        else
            event->accept();
        return;
    }
    const bool alt = event->modifiers() & Qt::AltModifier;
    if ((key == Qt::Key_F4 && !alt) || (key == Qt::Key_Down && alt)) {
        // The keys that drop down any combo box drop the calendar down too.
        event->accept();
        m_button->Click();
        return;
    }
    const QString typed = event->text();
    const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    // Keys without a character (arrows, Delete), control characters (backspace, Tab, Escape) and
    // the edit's shortcuts (copy, paste, undo) work as in any edit.
    if (typed.isEmpty() || typed.front().unicode() < 0x20 || typed.front().unicode() == 0x7f ||
        shortcut) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QChar c = typed.front();
    event->accept();
    // Where the separator is "-" or "+" (as in "yyyy-MM-dd") it moves between the parts; the
    // calendar still steps the date.
    if (c == m_format.separator) {
        findSeparators();
        if (typesSeparator()) {
            // A date typed whole over a selection keeps its separators; the part typed next is
            // the one after the separator just written.
            QLineEdit::keyPressEvent(event);
            findSeparators();
            m_currentPart = m_secondSeparator >= 0 ? 3 : 2;
        } else if (m_currentPart < 3) {
            ++m_currentPart;
            findSeparators();
            selectCurrentPart();
        }
    } else if (c == u'+' || c == u'-') {
        const int days = c == u'+' ? 1 : -1;
        if (text().isEmpty() || !m_value.isValid())
            SetDateValue(QDateTime::currentDateTime());
        else
            SetDateValue(m_value.addDays(days));
    } else if (isAsciiDigit(c)) {
        QLineEdit::keyPressEvent(event);
    }
}

void TDateEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The edit's own handling first: releasing inside a selection deselects it.
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const qsizetype caret = hasSelectedText() ? selectionEnd() : cursorPosition();
    findSeparators();
    // A caret just before a separator belongs to the part before it, one just after it to the
    // part after it.
    if (m_firstSeparator < 0 || caret <= m_firstSeparator)
        m_currentPart = 1;
    else if (m_secondSeparator < 0 || caret <= m_secondSeparator)
        m_currentPart = 2;
    else
        m_currentPart = 3;
    selectCurrentPart();
}

void TDateEdit::findSeparators()
{
    const QString current = text();
    m_firstSeparator = current.indexOf(m_format.separator);
    m_secondSeparator =
        m_firstSeparator < 0 ? -1 : current.indexOf(m_format.separator, m_firstSeparator + 1);
}

void TDateEdit::selectCurrentPart()
{
    // With fewer than two separators the first part runs up to the first separator (or the end)
    // and a missing part is an empty place at the end of the text, ready for typing.
    const qsizetype length = text().size();
    qsizetype start = 0;
    qsizetype end = length;
    switch (m_currentPart) {
    case 1:
        end = m_firstSeparator < 0 ? length : m_firstSeparator;
        break;
    case 2:
        start = m_firstSeparator < 0 ? length : m_firstSeparator + 1;
        end = m_firstSeparator < 0 || m_secondSeparator < 0 ? length : m_secondSeparator;
        break;
    default:
        start = m_secondSeparator < 0 ? length : m_secondSeparator + 1;
        break;
    }
    if (end > start)
        setSelection(int(start), int(end - start));
    else
        setCursorPosition(int(start));
}

bool TDateEdit::typesSeparator() const
{
    // Only where the text has no separator left to move to: the caret at the end of a text that
    // holds fewer than two, just after digits.
    if (m_secondSeparator >= 0 || hasSelectedText())
        return false;
    const QString current = text();
    return cursorPosition() == current.size() && !current.isEmpty() &&
           isAsciiDigit(current.back());
}
