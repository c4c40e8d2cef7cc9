#pragma once

#include "transfer/snapshot.h"

#include <QString>
#include <QStringList>

namespace dbe {
class Database;
}

namespace transfer {

struct PlaceOptions {
    // Whether security tables already in the place may be overwritten.
    bool replace = false;
    // The audit trail's entry for the copy or restore ("restore", the backup's file), written
    // in the transaction that replaces the rows of a database that held security tables
    // already, so that it commits with them or not at all. A database made new records no
    // entry, as its creation by `create` records none.
    QString auditAction;
    QString auditSource;
};

// What became of putting a snapshot into a database.
struct Placement {
    enum Status {
        Written,     // the tables hold the snapshot's rows, checked before they were committed
        TablesExist, // the place holds security tables and replacing was not allowed
    };
    Status status = Written;
    QStringList existing; // TablesExist: the tables found ("USERS.DB", ...)
};

// Makes the security database under `databaseName` (an alias; its place need not hold any
// tables yet) hold exactly the snapshot: every row with its numbers, dates and counters. Missing
// tables are made with `password` as the master password (on a server it must be the role's).
//
// All or nothing: the rows of the seven tables are replaced in one transaction, read back and
// compared with the snapshot inside it, and committed only when they agree. Where the seven
// tables exist already they are kept and their rows replaced, so that hosts running on them
// see the new rights at their next access test as they see any other change. Tables this call
// made are removed again when it fails.
//
// Throws the engine's failures (a table busy, a server away, a check that found a difference).
Placement placeSnapshot(const QString &databaseName, const Snapshot &snapshot,
                        const QString &password, const PlaceOptions &options);

} // namespace transfer
