#include "rules/addedtables.h"

#include "dbe/database.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/schema.h"

namespace security {

namespace {

using dbe::FieldDef;
using dbe::FieldType;

QString baseName(const QString &table)
{
    return table.section(QLatin1Char('.'), 0, 0);
}

QList<dbe::TableDef> buildTables()
{
    using namespace fields;
    const auto alpha = [](const QString &name, int size) {
        return FieldDef{name, FieldType::Alpha, size};
    };
    const auto field = [](const QString &name, FieldType type) { return FieldDef{name, type, 0}; };
    const auto primary = [](const QString &name, const QString &field) {
        return dbe::IndexDef{name, 1, {field}, true, true, true, false};
    };
    return {
        {baseName(tables::Policy),
         {field(PolicyId, FieldType::LongInt), field(LockoutAfter, FieldType::LongInt),
          field(LockoutMinutes, FieldType::LongInt), field(PermanentAfter, FieldType::LongInt),
          field(LogFailed, FieldType::Logical)},
         {primary(QStringLiteral("POLICYID"), PolicyId)}},
        {baseName(tables::Lockout),
         {field(UserId, FieldType::LongInt), field(Failures, FieldType::LongInt),
          field(Lockouts, FieldType::LongInt), field(LockedUntil, FieldType::Timestamp),
          field(LockedForGood, FieldType::Logical)},
         {primary(QStringLiteral("LOCKOUTID"), UserId)}},
        {baseName(tables::Audit),
         {field(AuditNo, FieldType::LongInt), field(AuditTime, FieldType::Timestamp),
          alpha(OsUser, 48), alpha(Host, 64), alpha(Actor, 48), alpha(Action, 32),
          alpha(Object, 80), alpha(Change, 255), alpha(Mac, 64)},
         {primary(QStringLiteral("AUDITNO"), AuditNo)}},
    };
}

} // namespace

const dbe::TableDef &addedTable(const QString &name)
{
    static const QList<dbe::TableDef> defs = buildTables();
    for (const dbe::TableDef &def : defs) {
        if (def.name.compare(baseName(name), Qt::CaseInsensitive) == 0)
            return def;
    }
    throw dbe::Error(QStringLiteral("No table of the kit is called %1.").arg(name),
                     dbe::Error::TableNotFound);
}

bool addedTableExists(const QString &databaseName, const QString &table)
{
    return dbe::Session::instance()
        .database(databaseName)
        ->tableNames()
        .contains(addedTable(table).name, Qt::CaseInsensitive);
}

void ensureAddedTable(const QString &databaseName, const QString &table)
{
    if (addedTableExists(databaseName, table))
        return;
    const std::shared_ptr<dbe::Database> database = dbe::Session::instance().database(databaseName);
    if (database->openingPassword().isEmpty()) {
        // Opening a table of the seven tells which of the session's passwords is the master's.
        dbe::Table users;
        users.setDatabaseName(databaseName);
        users.setTableName(tables::Users);
        users.open();
    }
    try {
        database->createTable(addedTable(table), database->openingPassword(), false);
    } catch (const dbe::Error &error) {
        // Another workstation made it first (and may have it open already).
        if (error.code() != dbe::Error::TableExists && error.code() != dbe::Error::Locked)
            throw;
        if (!addedTableExists(databaseName, table))
            throw;
    }
}

} // namespace security
