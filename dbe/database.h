#pragma once

#include "dbe/error.h"
#include "dbe/types.h"

#include <QString>
#include <QHash>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace dbe {

class Backend;
class ChangeWatch;
class Statement;
struct WatchedRows;

// One open database (an alias) of the process: the storage behind it and the tables of it that
// are in use. Obtain it from Session::database(); tables and queries share it.
class Database
{
public:
    Database(QString name, std::unique_ptr<Backend> backend);
    ~Database();

    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QString name() const { return m_name; }
    Backend &backend() { return *m_backend; }

    // Creates (or, with overwrite, replaces) a table from its description, protected with
    // `password`. Refuses to replace a table that anybody has open. Throws the engine's failures
    // with the storage's text: TableExists, Locked, InvalidDefinition, Io, ...
    void createTable(const TableDef &def, const QString &password, bool overwrite);

    // Removes the table (see Backend::dropTable()). Throws the engine's failures.
    void dropTable(const QString &name);

    // The table names (without extension) that exist in this database, sorted.
    QStringList tableNames();

    // Transactions span every table of the database. Nested begin() calls are counted: only
    // the outermost commit() writes.
    void begin();
    void commit();
    void rollback();
    // Begins a read-only transaction in which every table of `tables` reads as at one moment
    // (see Backend::beginSnapshot()); end it with commit() or rollback().
    void beginSnapshot(const QStringList &tables);
    // Begins a transaction that holds the tables against other writers from its start (see
    // Backend::beginWriting()); end it with commit() or rollback().
    void beginWriting(const QStringList &tables);
    bool inTransaction() const { return m_depth > 0; }

    // Inside a transaction that has not written, before it reads the tables: a watch that tells
    // whether anybody has committed to them since, so that what the transaction reads may be
    // kept until then. Null where the storage cannot tell (see Backend::watchChanges()).
    std::unique_ptr<ChangeWatch> watchChanges(const QStringList &tables);
    // Outside a transaction: the rows of the SELECT `sql` over `tables` (parameters numbered as
    // the backend's placeholder() writes them) together with a watch that stands for them, so
    // that the rows may be kept for as long as it shows no commit. One statement where the
    // storage can (see Backend::readWatchedAtOnce()); else a transaction that takes the watch,
    // calls `afterWatch` (when given) while it holds the tables, then reads, its statement
    // prepared once per text. A null watch, and no rows, where the storage cannot watch.
    // `previous`: the watch the last such read gave, which the storage may carry on from (see
    // Backend::watchChanges()). Throws the engine's failures.
    WatchedRows readWatched(const QStringList &tables, const QString &sql,
                            const QVariantList &values, const ChangeWatch *previous = nullptr,
                            const std::function<void()> &afterWatch = {});
    // Before reading or writing tables that a restore may have replaced under their names:
    // outside a transaction, each of `tables` (none: every open one) is made to use the file
    // its name gives now. See Backend::followReplacedFiles().
    void followReplacedFiles(const QStringList &tables = {});
    // Called once a table is created whose readers will watch it. Throws the engine's failures.
    void prepareChangeWatch(const QString &table);
    // The password that opened the tables; empty before any table is open.
    QString openingPassword() const;

private:
    QString m_name;
    std::unique_ptr<Backend> m_backend;
    int m_depth = 0;
    bool m_rollbackOnly = false;
    // readWatched()'s statements, by text; after m_backend, so that they go first.
    QHash<QString, std::shared_ptr<Statement>> m_watchedReads;
};

// Rolls the transaction back unless commit() was called.
class Transaction
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    void commit();

    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    Database &m_db;
    bool m_done = false;
};

} // namespace dbe
