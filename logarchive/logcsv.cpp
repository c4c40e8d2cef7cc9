#include "logarchive/logcsv.h"

#include "dbe/error.h"
#include "dbe/safefilewriter.h"
#include "dbe/table.h"
#include "dbe/types.h"
#include "rules/schema.h"

namespace logarchive {

using namespace security::fields;

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    const bool quoted = bytes.contains(',') || bytes.contains('"') || bytes.contains('\r') ||
                        bytes.contains('\n');
    if (!quoted)
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

namespace {

void readNames(const QString &databaseName, const QString &tableName, const QString &idField,
               const QString &nameField, QHash<int, QString> &names)
{
    dbe::Table table;
    table.setDatabaseName(databaseName);
    table.setTableName(tableName);
    table.open();
    for (table.first(); !table.eof(); table.next())
        names.insert(table.asInteger(idField), table.asString(nameField));
}

} // namespace

LogNames::LogNames(const QString &databaseName)
{
    readNames(databaseName, security::tables::Users, UserId, UserName, m_users);
    readNames(databaseName, security::tables::Access, AccessId, AccessName, m_constants);
}

QByteArray csvLine(const dbe::Table &log, const LogNames &names)
{
    const QVariant date = log.value(AccessDate);
    const QVariant user = log.value(UserId);
    const QVariant access = log.value(AccessId);
    QByteArray line = QByteArray::number(log.value(LogCount).toLongLong());
    line += ',';
    line += csvField(date.isNull() ? QString() : dbe::timestampToText(date.toDateTime()));
    line += ',';
    line += user.isNull() ? QByteArray() : QByteArray::number(user.toInt());
    line += ',';
    line += csvField(user.isNull() ? QString() : names.user(user.toInt()));
    line += ',';
    line += access.isNull() ? QByteArray() : QByteArray::number(access.toInt());
    line += ',';
    line += csvField(access.isNull() ? QString() : names.constant(access.toInt()));
    line += "\r\n";
    return line;
}

qint64 writeLogCsv(dbe::Table &log, const LogNames &names, const QString &path)
{
    dbe::SafeFileWriter file(path);
    const auto failed = [&file] { return dbe::Error(file.errorString(), dbe::Error::Io); };
    if (!file.open(QIODevice::WriteOnly))
        throw failed();
    file.write(CsvHeader);
    qint64 written = 0;
    for (log.first(); !log.eof(); log.next()) {
        file.write(csvLine(log, names));
        ++written;
    }
    if (!file.commit())
        throw failed();
    return written;
}

qint64 exportLogCsv(const QString &databaseName, const QString &path, const Period &period)
{
    const LogNames names(databaseName);
    dbe::Table log;
    log.setDatabaseName(databaseName);
    log.setTableName(security::tables::Log);
    log.setIndexName(security::indexes::LogInfo);
    log.open();
    if (period.from || period.to) {
        // Days as the desktop's clock counts them: the range runs from the first day's midnight
        // to the last millisecond of the last day.
        const QDate from = period.from.value_or(QDate(1, 1, 1));
        const QDate to = period.to.value_or(QDate(9999, 12, 31));
        log.setRange({QDateTime(from, QTime(0, 0))},
                     {QDateTime(to, QTime(0, 0)).addDays(1).addMSecs(-1)});
    }
    return writeLogCsv(log, names, path);
}

} // namespace logarchive
