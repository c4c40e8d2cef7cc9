#pragma once

#include <QDate>
#include <QHash>
#include <QString>

#include <optional>

class QIODevice;

namespace dbe {
class Table;
}

namespace logarchive {

// Days of the log, both included; an end left open reaches the log's first or last entry.
struct Period {
    std::optional<QDate> from;
    std::optional<QDate> to;
};

// The header line of every CSV the kit writes from the log.
inline const QByteArray CsvHeader = "LogCount,Access_Date,User_ID,User_Name,Access_ID,Access_Name\r\n";

// One field as RFC 4180 writes it: quoted, with quotes doubled, when it holds a comma, a quote
// or a line break.
QByteArray csvField(const QString &text);

// The user and constant names a log entry shows, read once: a log of millions of entries is
// written in the memory of its users and constants, not of its entries.
class LogNames
{
public:
    // Reads USERS.DB and ACCESS.DB of the database.
    explicit LogNames(const QString &databaseName);
    // Empty when the user or the constant is gone (the supervisor has no user row).
    QString user(int id) const { return m_users.value(id); }
    QString constant(int id) const { return m_constants.value(id); }

private:
    QHash<int, QString> m_users;
    QHash<int, QString> m_constants;
};

// The CSV line of the log's current entry, CRLF ended; the date as the engine stores it.
QByteArray csvLine(const dbe::Table &log, const LogNames &names);

// Writes every entry of `log` (within its range, from its first) as CSV to `path`, through a
// temporary file renamed into place. Answers how many. Throws dbe::Error.
qint64 writeLogCsv(dbe::Table &log, const LogNames &names, const QString &path);

// Writes the log's entries within `period`, in the log's order, as CSV to `path` (a file
// written beside and renamed into place, see dbe::SafeFileWriter). Answers how many entries
// were written. Throws dbe::Error: the engine's failures, and Io with the file and the reason.
qint64 exportLogCsv(const QString &databaseName, const QString &path, const Period &period);

} // namespace logarchive
