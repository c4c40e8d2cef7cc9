#pragma once

#include "dbe/types.h"

#include <QList>
#include <QVariantList>

namespace dbe {

class Database;

// Everything a table holds, as a copy or a backup carries it from one database to another:
// its description, every row and the number its autoincrement field handed out last.
struct TableContent {
    TableDef def;             // as the storage describes the table
    qint64 counter = 0;       // see Backend::autoIncrementCounter(); 0 without such a field
    QList<QVariantList> rows; // field order; null, QString, qint64, bool, QDateTime or QDate

    bool operator==(const TableContent &) const = default;
};

// Opens the tables on the database's connection, as a transaction over them needs them opened
// before it begins; answers their canonical names. Throws TableNotFound, BadPassword, ...
QStringList openForTransaction(Database &database, const QStringList &tables);

// Reads the whole table, in primary-key order, inside the caller's transaction (a snapshot, so
// that several tables read together agree). Throws the engine's failures.
TableContent readTableContent(Database &database, const QString &table);

// Replaces every row of the table by `content`'s, numbers and counter included, inside the
// caller's transaction; nothing is renumbered. The table's fields must be `content`'s, in name
// and type (else InvalidDefinition). Throws the engine's failures.
void replaceTableContent(Database &database, const QString &table, const TableContent &content);

} // namespace dbe
