#include "report/dateformat.h"

#include "intl/shortdate.h"

#include <QLocale>

namespace report {

namespace {

int runLength(const QString &picture, qsizetype at)
{
    const QChar c = picture.at(at).toLower();
    qsizetype end = at;
    while (end < picture.size() && picture.at(end).toLower() == c)
        ++end;
    return int(end - at);
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString formatDateTime(const QString &picture, const QDateTime &value)
{
    const QLocale locale;
    const QDate date = value.date();
    const QTime time = value.time();
    QString out;
    qsizetype i = 0;
    while (i < picture.size()) {
        const QChar c = picture.at(i);
        const QChar lower = c.toLower();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype close = picture.indexOf(c, i + 1);
            const qsizetype end = close < 0 ? picture.size() : close;
            out += picture.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (picture.mid(i, 5).compare(QStringLiteral("am/pm"), Qt::CaseInsensitive) == 0) {
            out += time.hour() < 12 ? locale.amText() : locale.pmText();
            i += 5;
            continue;
        }
        const int n = runLength(picture, i);
        if (lower == QLatin1Char('d')) {
            switch (n) {
            case 1:
                out += QString::number(date.day());
                break;
            case 2:
                out += twoDigits(date.day());
                break;
            case 3:
                out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
                break;
            case 4:
                out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
                break;
            case 5:
                // The short date the date edits show (the [intl] profile or the locale).
                out += controls::ShortDateFormat::current().format(date);
                break;
            default:
                out += locale.toString(date, QLocale::LongFormat);
                break;
            }
        } else if (lower == QLatin1Char('m')) {
            if (n == 1)
                out += QString::number(date.month());
            else if (n == 2)
                out += twoDigits(date.month());
            else if (n == 3)
                out += locale.monthName(date.month(), QLocale::ShortFormat);
            else
                out += locale.monthName(date.month(), QLocale::LongFormat);
        } else if (lower == QLatin1Char('y')) {
            out += n <= 2 ? twoDigits(date.year() % 100) : QString::number(date.year());
        } else if (lower == QLatin1Char('h')) {
            out += n == 1 ? QString::number(time.hour()) : twoDigits(time.hour());
        } else if (lower == QLatin1Char('n')) {
            out += n == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
        } else if (lower == QLatin1Char('s')) {
            out += n == 1 ? QString::number(time.second()) : twoDigits(time.second());
        } else if (c == QLatin1Char('/')) {
            out += QString(controls::ShortDateFormat::current().separator).repeated(n);
        } else {
            out += picture.mid(i, n);
        }
        i += n;
    }
    return out;
}

} // namespace report
