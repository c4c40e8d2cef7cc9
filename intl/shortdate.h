#pragma once

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QVariant>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <optional>

namespace controls {

// Turns a Windows date picture ("M/d/yyyy", "dddd, MMMM dd", "d 'de' MMMM", "mmmm d, yyyy")
// into a format for QLocale::toString. Day, month and year letters count in any case; a "/"
// stands for the date separator, as it does in the old profile's pictures; quoted text ('...'
// or "...") and any other letter come out literally.
QString qtDateFormat(QStringView picture, QChar separator);

// The short date format the date edit shows and reads back, with the separator key that moves
// from one part of the date to the next.
struct ShortDateFormat {
    QChar separator = u'/';
    QString picture = QStringLiteral("M/d/yyyy"); // Windows picture, at most 20 characters

    // The profile with the section [intl] and the keys sDate and sShortDate: the file named by
    // VESK_INTL_CONFIG, else intl.ini in the program's configuration folder beside dbe.ini.
    static QString profilePath();
    // The two keys from the profile when it exists, else what `systemLocale` writes for a short
    // date, else "/" and "M/d/yyyy".
    static ShortDateFormat read(const QString &profilePath, const QLocale &systemLocale);
    static ShortDateFormat current() { return read(profilePath(), QLocale::system()); }

    // Always with the digits 0 to 9, which are the only ones the edit lets a person type.
    QString format(const QDate &date) const;
    // A moment as every window and report of the kit shows one: the short date, a blank and
    // the time to the second on the 24-hour clock (log rows a second apart must differ).
    QString formatDateTime(const QDateTime &value) const;
    // The short date of a date or a moment's value, the way formatDateTime and format give them;
    // an empty text for an empty value, the value's own text for anything else.
    QString formatValue(const QVariant &value) const;
    QString qtFormat() const { return qtDateFormat(picture, separator); }

    // The date a text names: its numbers split at the separator in the picture's order of day,
    // month and year; two numbers are month and day of `today`'s year. A year of one or two
    // digits falls within fifty years of `today`. Pictures with month names are read by the
    // locale as a last resort.
    std::optional<QDate> parse(QStringView text, const QDate &today) const;
};

} // namespace controls
