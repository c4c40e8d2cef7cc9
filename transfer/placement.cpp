#include "transfer/placement.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "rules/audittrail.h"
#include "rules/createtables.h"
#include "rules/schema.h"

#include <QStringList>
#include <optional>

namespace transfer {

namespace {

QStringList securityTableNames()
{
    QStringList names;
    for (const dbe::TableDef &def : security::securityTables())
        names.append(def.name);
    return names;
}

// The tables made for the snapshot go again when it cannot be put in: the place is left as
// it was found. What cannot be removed is left for the administrator, and said.
void removeMadeTables(dbe::Database &database, const QString &why)
{
    QStringList left;
    for (const QString &table : securityTableNames()) {
        try {
            database.dropTable(table);
        } catch (const dbe::Error &error) {
            if (error.code() != dbe::Error::TableNotFound)
                left.append(table + QStringLiteral(".DB"));
        }
    }
    if (!left.isEmpty())
        throw dbe::Error(QStringLiteral("%1 The tables made for it could not all be removed "
                                        "again: %2.")
                             .arg(why, left.join(QStringLiteral(", "))));
}

void writeChecked(dbe::Database &database, const Snapshot &snapshot, const PlaceOptions &options,
                  security::AuditTrail *audit)
{
    const QStringList names = dbe::openForTransaction(database, securityTableNames());
    // Held against other writers from the start: a host's logon either comes before the rows
    // are replaced, and is replaced with them, or after, on the restored rows.
    database.beginWriting(names);
    try {
        for (const dbe::TableContent &table : snapshot.tables)
            dbe::replaceTableContent(database, table.def.name, table);
        // The check reads through the storage what the commit would keep: a value the storage
        // would have changed (a date, a text cut short, a counter) stops it before anything is
        // committed.
        for (const dbe::TableContent &table : snapshot.tables) {
            dbe::TableContent written = dbe::readTableContent(database, table.def.name);
            written.def = table.def;
            if (!(written == table))
                throw dbe::Error(QStringLiteral("%1.DB does not read back as it was written (%2 "
                                                "rows written, %3 read, counter %4 written, %5 "
                                                "read); nothing was committed.")
                                     .arg(table.def.name)
                                     .arg(table.rows.size())
                                     .arg(written.rows.size())
                                     .arg(table.counter)
                                     .arg(written.counter));
        }
        if (audit) {
            QStringList counts;
            for (const dbe::TableContent &table : snapshot.tables)
                counts.append(QStringLiteral("%1 %2").arg(table.rows.size()).arg(table.def.name));
            audit->record(options.auditAction, options.auditSource,
                          QStringLiteral("rows replaced: ") + counts.join(QStringLiteral(", ")));
        }
        database.commit();
    } catch (...) {
        // The failure that ended the work is the one to report; a server gone away has
        // undone the transaction itself.
        try {
            database.rollback();
        } catch (const dbe::Error &) {
        }
        throw;
    }
}

} // namespace

Placement placeSnapshot(const QString &databaseName, const Snapshot &snapshot,
                        const QString &password, const PlaceOptions &options)
{
    Placement placement;
    const QStringList existing = security::existingSecurityTables(databaseName);
    if (!existing.isEmpty() && !options.replace) {
        placement.status = Placement::TablesExist;
        placement.existing = existing;
        return placement;
    }
    // All seven in place: their rows are replaced while hosts may hold them open. Some only:
    // made again whole, as `vesksec create --replace` would. None: made, and removed again
    // should the snapshot not go in.
    const bool make = existing.size() != security::securityTables().size();
    const bool fresh = existing.isEmpty();
    dbe::Session::instance().addPassword(password);
    const std::shared_ptr<dbe::Database> database = dbe::Session::instance().database(databaseName);
    try {
        if (make)
            security::createSecurityTables(databaseName, password,
                                           fresh ? security::ExistingTables::Refuse
                                                 : security::ExistingTables::Replace);
        // Readied before the transaction: a directory's table opens only outside one.
        std::optional<security::AuditTrail> audit;
        if (!fresh && !options.auditAction.isEmpty())
            audit.emplace(databaseName);
        writeChecked(*database, snapshot, options, audit ? &*audit : nullptr);
    } catch (const dbe::Error &error) {
        if (fresh)
            removeMadeTables(*database, error.text());
        throw;
    }
    return placement;
}

} // namespace transfer
