#pragma once

#include <QDate>
#include <QString>

namespace dbe {
class Table;
}

namespace logarchive {

struct PurgeResult {
    qint64 archived = 0;   // entries appended to the archive by this run
    qint64 deleted = 0;    // entries deleted from the log
    int unpurgedDropped = 0; // lines of an earlier, stopped run taken back from the archive
};

// Removes the log's entries dated before `before` (its midnight). With an `archivePath` they
// are first appended to that CSV file and synced to the disk; without one they are discarded.
//
// Each entry ends up either in the archive or in the log, once, even when a run is killed at
// any point: the archive is written and synced before the deletion, which is one transaction;
// a run that stopped between the two left entries in the archive that are still in the log,
// and the next run takes those lines back off the archive's end before it appends (see
// ArchiveFile::dropUnpurgedTail). Entries written while the purge runs (their numbers are
// above the largest one when it began) are neither archived nor deleted.
// Throws dbe::Error: the engine's failures, and Io for the archive.
PurgeResult purgeLog(const QString &databaseName, const QDate &before, const QString &archivePath);

// The transaction of a purge: deletes the log's entries within `log`'s range numbered up to
// `numberedUpTo`, writes the audit entry of a purge of the days before `before` (`archived`:
// the entries went to an archive first) and commits. Whatever has to be written with a purge
// belongs in here, so that it commits, or not, with the deletion.
qint64 commitPurge(const QString &databaseName, dbe::Table &log, qint64 numberedUpTo,
                   const QDate &before, bool archived);

} // namespace logarchive
