#pragma once

#include "dbe/changewatch.h"
#include "dbe/database.h"
#include "dbe/types.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>

namespace dbe {

// What a column of a query result was read from, when it is a plain table column.
struct ColumnOrigin {
    QString table;  // canonical table name ("USERS")
    QString column; // field name as defined ("User_Name")
};

// A prepared statement. Values cross it as QVariant: null, qint64, double, bool, QString.
class Statement
{
public:
    virtual ~Statement() = default;
    virtual void bind(int position, const QVariant &value) = 0; // position from 1
    // Runs or advances the statement; true while a row is available.
    virtual bool step() = 0;
    virtual void reset() = 0;
    // The result's columns, known once step() ran.
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual QVariant columnValue(int column) const = 0;
    virtual ColumnOrigin columnOrigin(int column) const = 0;
    // After an INSERT, UPDATE or DELETE ran: how many rows it changed.
    virtual int changedRows() const = 0;
    // After an INSERT prepared by Backend::prepareInsert() ran: the number the engine gave the
    // row's autoincrement field.
    virtual qint64 insertedId() const = 0;
};

// An open table as the backend resolved it.
struct TableHandle {
    QString canonicalName; // the table's name as created ("USERS")
    QString sqlName;       // how SQL names it ("USERS"."USERS", "sec"."users")
    QStringList columns;   // how SQL names each field, in the order of def.fields
    TableDef def;
    qint64 lockKey = 0; // the storage's own handle for locking the table, where it needs one
};

// Rows read together with a watch that stands for them (Database::readWatched()).
struct WatchedRows {
    QList<QVariantList> rows;
    std::unique_ptr<ChangeWatch> watch; // null: the storage cannot watch; no rows either
};

// Held by every open cursor; released when destroyed.
class TableLock
{
public:
    virtual ~TableLock() = default;
};

// The storage behind one database. The cursor logic above it writes portable SQL (row-value
// comparisons, "1 = 1" for true, as SQLCipher's SQLite knows no TRUE) and asks the backend for what
// differs between storages: where tables live and how they and their columns are named, how keys
// and locks work, how values are stored, how parameters, orderings and row limits are written,
// case-blind comparison.
class Backend
{
public:
    virtual ~Backend() = default;

    virtual QStringList tableNames() = 0;
    // Makes the table usable in SQL on this connection and describes it. Throws TableNotFound,
    // BadPassword.
    virtual TableHandle openTable(const QString &name) = 0;
    // Throws the engine's failures: InvalidDefinition, TableExists, Locked, Io, ...
    virtual void createTable(const TableDef &def, const QString &password, bool overwrite) = 0;
    // Removes a table nobody has open, with what the engine keeps of it. Throws Locked while
    // anybody has it open, TableNotFound, Io.
    virtual void dropTable(const QString &name);
    // Shared or exclusive use of a table; exclusive fails at once (Locked) while anybody,
    // in this or another process, has it open.
    virtual std::unique_ptr<TableLock> lockTable(const TableHandle &table, bool exclusive) = 0;
    // One user name per live lock on the table.
    virtual QStringList lockHolders(const TableHandle &table) = 0;
    // Makes every table that `sql` names usable before the statement is prepared.
    virtual void prepareForQuery(const QString &sql) = 0;

    // How long a statement waits for a table another connection holds before it fails busy.
    virtual void setBusyTimeout(int milliseconds) = 0;
    // `table`: the canonical name of the one table the statement works on, if it is one, so
    // that a failure can name it.
    virtual std::unique_ptr<Statement> prepare(const QString &sql, const QString &table) = 0;
    // An INSERT whose statement answers insertedId(): the number the engine gives the column
    // `generatedColumn` (as TableHandle::columns names it).
    virtual std::unique_ptr<Statement> prepareInsert(const QString &sql, const QString &table,
                                                     const QString &generatedColumn) = 0;
    // Called after a row was written with an autoincrement value of its own (an import keeps
    // the old numbers): the engine's numbering must go on after it, never hand it out again.
    virtual void autoIncrementWritten(const TableHandle &table, int field, qint64 value) = 0;
    // The largest number the autoincrement field `field` has handed out (0 before the first),
    // whether or not its row still exists: the next row gets the number after it.
    virtual qint64 autoIncrementCounter(const TableHandle &table, int field);
    // Sets that number, higher or lower, inside the open transaction, for a table whose rows
    // are being replaced by a copy's.
    virtual void setAutoIncrementCounter(const TableHandle &table, int field, qint64 counter);

    // A transaction spanning every table of the database. A statement that fails inside it
    // fails alone; the transaction goes on.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // A read-only transaction whose reads of `tables` (canonical names, each open on this
    // connection) all show one moment: no commit to any of them falls between two reads. By
    // default a plain transaction, which gives that where the storage reads one snapshot.
    virtual void beginSnapshot(const QStringList &tables);
    // A transaction that holds `tables` (canonical names, each open on this connection)
    // against every other writer from its start, so that rows it replaces in all of them are
    // replaced together, with no other writer's change in between. By default a plain one.
    virtual void beginWriting(const QStringList &tables);

    // A watch over the tables (canonical names, each open on this connection), taken in the
    // open transaction before it reads them: what the transaction reads afterwards is no older
    // than the watch. Null where the storage cannot tell surely and cheaply that nothing was
    // committed since; the caller then reads the tables each time. `previous`, when given, is
    // the watch of this connection's last read of the same tables, which a storage may carry on
    // from rather than set up its watch again.
    virtual std::unique_ptr<ChangeWatch> watchChanges(const QStringList &tables,
                                                      const ChangeWatch *previous);
    // Outside a transaction, where the storage can: the rows of the SELECT `sql` (parameters
    // numbered from 1 as placeholder() writes them) and the watch over `tables` that stands for
    // them, read together in one statement, so that a server is asked once rather than for a
    // transaction's every step. Nothing by default: Database::readWatched() then reads in a
    // transaction. Throws the engine's failures.
    virtual std::optional<WatchedRows> readWatchedAtOnce(const QStringList &tables,
                                                         const QString &sql,
                                                         const QVariantList &values);
    // Outside a transaction: makes each of the tables (canonical names; none for every open
    // one) read and write the file its path names now, where that is no longer the file opened
    // (an older copy renamed over it, deleted and copied back). Throws the engine's failures: a
    // file gone or damaged. Nothing to do where tables are not files.
    virtual void followReplacedFiles(const QStringList &tables);
    // Readies the table, once it is created, for watchChanges(), where the storage has to keep
    // count of the commits to it. Nothing to do by default.
    virtual void prepareChangeWatch(const QString &table);
    // The password that opened this database's tables (its master password); empty before any
    // table is open. The audit trail keys its chain from it.
    virtual QString openingPassword() const { return {}; }

    // How the statement text names parameter `position` (from 1).
    virtual QString placeholder(int position) const = 0;
    // One term of an ORDER BY. Blank values sort first, as the cursor logic expects.
    virtual QString orderTerm(const QString &expression, bool descending) const = 0;
    // What ends a SELECT that wants at most `rows` rows.
    virtual QString rowLimit(int rows) const = 0;
    // The expression that compares `expression` case-blind (A-Z folded only); applied to both
    // sides of a comparison.
    virtual QString caseBlind(const QString &expression) const = 0;

    // Storage form of a logical value, and back. By default: text for timestamps and dates
    // (see timestampToText()), qint64 for integers, bool, double and text as they are.
    virtual QVariant toStorage(FieldType type, const QVariant &value) const;
    virtual QVariant fromStorage(FieldType type, const QVariant &stored) const;
};

// "name" with embedded quotes doubled: an SQL identifier, whatever characters it holds.
QString quoteIdentifier(const QString &name);

} // namespace dbe
