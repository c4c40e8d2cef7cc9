#include "logarchive/logpurge.h"

#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "logarchive/archivefile.h"
#include "logarchive/logcsv.h"
#include "rules/audittrail.h"
#include "rules/schema.h"

#include <memory>

namespace logarchive {

using namespace security::fields;

qint64 commitPurge(const QString &databaseName, dbe::Table &log, qint64 numberedUpTo,
                   const QDate &before, bool archived)
{
    security::AuditTrail audit(databaseName);
    dbe::Transaction transaction(*dbe::Session::instance().database(databaseName));
    const qint64 deleted = log.deleteRange(numberedUpTo);
    audit.record(
        QStringLiteral("purge log"),
        QStringLiteral("entries before %1").arg(before.toString(Qt::ISODate)),
        QStringLiteral("%1 entries deleted, %2")
            .arg(deleted)
            .arg(archived ? QStringLiteral("archived first") : QStringLiteral("discarded")));
    transaction.commit();
    return deleted;
}

PurgeResult purgeLog(const QString &databaseName, const QDate &before, const QString &archivePath)
{
    PurgeResult result;
    dbe::Table log;
    log.setDatabaseName(databaseName);
    log.setTableName(security::tables::Log);
    log.setIndexName(security::indexes::LogInfo);
    log.open();
    const auto numbers = log.autoIncRange();
    if (!numbers)
        return result;
    const qint64 numberedUpTo = numbers->second;

    std::unique_ptr<ArchiveFile> archive;
    std::unique_ptr<LogNames> names;
    if (!archivePath.isEmpty()) {
        archive = std::make_unique<ArchiveFile>(archivePath);
        result.unpurgedDropped = archive->dropUnpurgedTail([&log](qint64 logCount) {
            return log.findAutoInc(logCount) && log.value(LogCount).toLongLong() == logCount;
        });
        names = std::make_unique<LogNames>(databaseName);
    }
    // Entries without a date are dated before no day: they stay.
    log.setRange({QDateTime(QDate(1, 1, 1), QTime(0, 0))},
                 {QDateTime(before, QTime(0, 0)).addMSecs(-1)});
    if (archive) {
        for (log.first(); !log.eof(); log.next()) {
            if (log.value(LogCount).toLongLong() > numberedUpTo)
                continue;
            archive->append(csvLine(log, *names));
            ++result.archived;
        }
        archive->sync();
    }
    result.deleted = commitPurge(databaseName, log, numberedUpTo, before, archive != nullptr);
    return result;
}

} // namespace logarchive
