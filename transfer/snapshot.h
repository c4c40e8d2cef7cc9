#pragma once

#include "dbe/tablecontent.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace transfer {

// The seven security tables of a database as they were at one moment: every row, numbers and
// dates as stored, and each table's autoincrement counter, so that a database made from it
// numbers its next user, constant, group and log row as the original would.
struct Snapshot {
    QDateTime taken;
    QList<dbe::TableContent> tables; // in the order the tables are created

    // The table of this name ("USERS", "Users.DB"); throws TableNotFound.
    const dbe::TableContent &table(const QString &name) const;
    bool operator==(const Snapshot &other) const { return tables == other.tables; }
};

// Reads the seven tables of the database (an alias) in one read-only transaction in which no
// commit falls between two reads: a logon, which counts and logs in one transaction, is in it
// whole or not at all. Hosts go on working meanwhile. Throws the engine's failures.
Snapshot takeSnapshot(const QString &databaseName);

// The snapshot as bytes, and back. decode() throws dbe::Error Damaged for bytes that are not a
// snapshot of the seven tables.
QByteArray encode(const Snapshot &snapshot);
Snapshot decode(const QByteArray &bytes);

// The rows of each table, "USERS.DB: 12 rows", one line per table.
QStringList rowCounts(const Snapshot &snapshot);

} // namespace transfer
