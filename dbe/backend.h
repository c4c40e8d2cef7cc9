#pragma once

#include "dbe/database.h"
#include "dbe/types.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace dbe {

// What a column of a query result was read from, when it is a plain table column.
struct ColumnOrigin {
    QString table;  // canonical table name ("USERS")
    QString column; // field name as defined
};

// A prepared statement. Values cross it as QVariant: null, qint64, double, QString.
class Statement
{
public:
    virtual ~Statement() = default;
    virtual void bind(int position, const QVariant &value) = 0; // position from 1
    // Runs or advances the statement; true while a row is available.
    virtual bool step() = 0;
    virtual void reset() = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual QVariant columnValue(int column) const = 0;
    virtual ColumnOrigin columnOrigin(int column) const = 0;
};

// An open table as the backend resolved it.
struct TableHandle {
    QString canonicalName; // the table's name as created ("USERS")
    QString sqlName;       // how SQL names it ("USERS"."USERS")
    TableDef def;
};

// Held by every open cursor; released when destroyed.
class TableLock
{
public:
    virtual ~TableLock() = default;
};

// The storage behind one database. The cursor logic above it speaks portable SQL (row-value
// comparisons, LIMIT) and asks the backend for the few things that differ between storages:
// where tables live, how keys and locks work, how values are stored, case-blind collation.
class Backend
{
public:
    virtual ~Backend() = default;

    virtual QStringList tableNames() = 0;
    // Makes the table usable in SQL on this connection and describes it. Throws TableNotFound,
    // BadPassword.
    virtual TableHandle openTable(const QString &name) = 0;
    virtual CreateResult createTable(const TableDef &def, const QString &password,
                                     bool overwrite) = 0;
    // Shared or exclusive use of a table; exclusive fails at once (Locked) while anybody,
    // in this or another process, has it open.
    virtual std::unique_ptr<TableLock> lockTable(const QString &canonicalName, bool exclusive) = 0;
    // One user name per live lock on the table.
    virtual QStringList lockHolders(const QString &canonicalName) = 0;
    // Makes every table that `sql` names usable before the statement is prepared.
    virtual void prepareForQuery(const QString &sql) = 0;

    // How long a statement waits for a table another connection holds before it fails busy.
    virtual void setBusyTimeout(int milliseconds) = 0;
    // `table`: the canonical name of the one table the statement works on, if it is one, so
    // that a failure can name it.
    virtual std::unique_ptr<Statement> prepare(const QString &sql, const QString &table) = 0;
    virtual void execute(const QString &sql) = 0;
    virtual qint64 lastInsertId() = 0;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    virtual int changedRows() = 0;

    // Storage form of a logical value, and back.
    virtual QVariant toStorage(FieldType type, const QVariant &value) const = 0;
    virtual QVariant fromStorage(FieldType type, const QVariant &stored) const = 0;
    // The expression that compares `expression` case-blind (A-Z folded only).
    virtual QString caseBlind(const QString &expression) const = 0;
};

QString quoteIdentifier(const QString &name);

} // namespace dbe
