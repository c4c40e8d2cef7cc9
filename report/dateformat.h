#pragma once

#include <QDateTime>
#include <QString>

namespace report {

// Formats a date and time with a picture in the notation report designers know: d dd ddd dddd
// (day, names), ddddd (the locale's short date), dddddd (its long date), m mm mmm mmmm (month),
// yy yyyy (year), h hh, n nn (minutes), s ss, am/pm, "/" for the locale's date separator, and
// text in single or double quotes taken as it stands. Other characters are copied.
QString formatDateTime(const QString &picture, const QDateTime &value);

} // namespace report
