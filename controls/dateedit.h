#pragma once

#include "intl/shortdate.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QLineEdit>
#include <QList>
#include <QToolButton>

class TDateEdit;

// The message for a text that names no date, as the edit and its button give it.
QString notADateMessage(const QString &text);

// The square button at the right end of a date edit; a click opens the calendar for the edit.
class TDateButton : public QToolButton
{
    Q_OBJECT

public:
    explicit TDateButton(TDateEdit *edit);

    void Click();

private:
    TDateEdit *m_edit;
};

// A one-line edit for one date in the short date format. The separator key moves from part to
// part, "+" and "-" step the date by a day, and the button opens a calendar.
class TDateEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QDateTime DateValue READ DateValue WRITE SetDateValue)
    Q_PROPERTY(int Year READ Year WRITE SetYear)
    Q_PROPERTY(int Month READ Month WRITE SetMonth)
    Q_PROPERTY(int Day READ Day WRITE SetDay)
    Q_PROPERTY(QColor ValidDateColor READ ValidDateColor WRITE SetValidDateColor)

public:
    explicit TDateEdit(QWidget *owner = nullptr);

    // The date and time of day; an invalid QDateTime means no date (an empty text).
    QDateTime DateValue() const { return m_value; }
    void SetDateValue(const QDateTime &value);
    // The day of DateValue(): what a caller that wants no time of day reads.
    QDate Date() const { return m_value.date(); }

    // The parts of the value; 0 while there is no date. A setter does nothing without a date or
    // when the part is unchanged, drops the time of day, and returns false (leaving the value
    // as it was) when the parts would name no date, such as 31 April.
    int Year() const { return m_value.isValid() ? m_value.date().year() : 0; }
    int Month() const { return m_value.isValid() ? m_value.date().month() : 0; }
    int Day() const { return m_value.isValid() ? m_value.date().day() : 0; }
    bool SetYear(int year);
    bool SetMonth(int month);
    bool SetDay(int day);

    // The days the calendar writes in ValidDateColor (blue unless set).
    QColor ValidDateColor() const { return m_validDateColor; }
    void SetValidDateColor(const QColor &color) { m_validDateColor = color; }
    const QList<QDate> &ValidDates() const { return m_validDates; }
    void AddValidDate(const QDate &date);
    void AddValidDates(const QList<QDate> &dates);
    void ClearValidDates() { m_validDates.clear(); }
    bool IsValidDate(const QDate &date) const { return m_validDates.contains(date); }

    // The format read at construction: the separator key and the picture of the text.
    const controls::ShortDateFormat &DateFormat() const { return m_format; }
    // The part that typing replaces: 1, 2 or 3.
    int CurrentPart() const { return m_currentPart; }
    TDateButton *Button() const { return m_button; }

    // The text as a date in the short date format; no value when it names none.
    std::optional<QDate> TextDate() const;

Q_SIGNALS:
    void OnDateChange(TDateEdit *sender);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool setParts(int year, int month, int day);
    void showValue();
    // Reads the text back as the value; a text that names no date is left as it is, refused
    // with a message, and keeps the focus here. False in that case.
    bool acceptText();
    // Whether the separator key writes a separator rather than moving to the next part.
    bool typesSeparator() const;
    void findSeparators();
    void selectCurrentPart();

    controls::ShortDateFormat m_format;
    QDateTime m_value;
    int m_currentPart = 1;
    // 0-based indexes of the two separators in the text, -1 when missing.
    qsizetype m_firstSeparator = -1;
    qsizetype m_secondSeparator = -1;
    QList<QDate> m_validDates;
    QColor m_validDateColor = QColor(0, 0, 255);
    TDateButton *m_button = nullptr;
    // Entered since the window was shown; focus that comes with the window then changes nothing.
    bool m_entered = false;
    // A refusal is on its way; the focus moving again meanwhile must not show it twice.
    bool m_refusing = false;
};
