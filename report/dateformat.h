#pragma once

#include <QDateTime>
#include <QString>

namespace report {

// Formats a date and time with a picture in the notation report designers know: d dd ddd dddd
// (day, names), ddddd (the short date the date edits show), dddddd (the locale's long date),
// m mm mmm mmmm (month), yy yyyy (year), h hh, n nn (minutes), s ss, am/pm, "/" for the short
// date's separator, and
// text in single or double quotes taken as it stands. Other characters are copied.
QString formatDateTime(const QString &picture, const QDateTime &value);

} // namespace report
