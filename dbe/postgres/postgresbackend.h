#pragma once

#include "dbe/backend.h"
#include "dbe/postgres/pgchangecount.h"
#include "dbe/storage.h"

#include <QHash>

namespace dbe::postgres {

class PgConnection;
class PgResult;

// The server storage: the tables of a database live in one schema of a PostgreSQL database,
// reached through one connection per database and process. The master password is the password
// of the role the connection string names.
//
// Table locks are session-level advisory locks, so the server drops those of a workstation
// that crashed or lost its connection by itself: every cursor holds the table's lock shared
// (an exclusive open takes it exclusively, without waiting) and a lock of its own that carries
// the holder, whose operating-system user name the connection gives as its application name.
class PostgresBackend : public Backend
{
public:
    explicit PostgresBackend(const BackendContext &context);
    ~PostgresBackend() override;

    QStringList tableNames() override;
    TableHandle openTable(const QString &name) override;
    void createTable(const TableDef &def, const QString &password, bool overwrite) override;
    void dropTable(const QString &name) override;
    std::unique_ptr<TableLock> lockTable(const TableHandle &table, bool exclusive) override;
    QStringList lockHolders(const TableHandle &table) override;
    void prepareForQuery(const QString &sql) override;

    void setBusyTimeout(int milliseconds) override;
    std::unique_ptr<Statement> prepare(const QString &sql, const QString &table) override;
    std::unique_ptr<Statement> prepareInsert(const QString &sql, const QString &table,
                                             const QString &generatedColumn) override;
    void autoIncrementWritten(const TableHandle &table, int field, qint64 value) override;
    qint64 autoIncrementCounter(const TableHandle &table, int field) override;
    void setAutoIncrementCounter(const TableHandle &table, int field, qint64 counter) override;

    void begin() override;
    void commit() override;
    void rollback() override;
    // A repeatable-read, read-only transaction: one snapshot of the whole schema.
    void beginWriting(const QStringList &tables) override;
    void beginSnapshot(const QStringList &tables) override;
    // Commits to a watched table are counted (see ChangeCount); a watch compares the count, one
    // round trip, and ends with the session it was taken in.
    std::unique_ptr<ChangeWatch> watchChanges(const QStringList &tables,
                                              const ChangeWatch *previous) override;
    // The checks, the count and the rows in one statement (ChangeCount::readWatched()).
    std::optional<WatchedRows> readWatchedAtOnce(const QStringList &tables, const QString &sql,
                                                 const QVariantList &values) override;
    void prepareChangeWatch(const QString &table) override;
    QString openingPassword() const override;
    // What a watch compares (an array of server names, as text), and the session it holds for.
    QString changeState(const QString &serverTables);
    int session() const;

    QString placeholder(int position) const override;
    QString orderTerm(const QString &expression, bool descending) const override;
    QString rowLimit(int rows) const override;
    QString caseBlind(const QString &expression) const override;

    // The field a result column was read from: `table` is the server's number of the table,
    // `column` its column number.
    ColumnOrigin originOf(unsigned table, int column) const;
    // Gives back one cursor's locks (TableLock's destructor).
    void unlock(const TableHandle &table, bool exclusive, int marker) noexcept;

private:
    struct OpenTable {
        TableHandle handle;
        QHash<int, QString> fieldOfColumn; // column number -> field name
    };
    struct LocalUse {
        int shared = 0;
        bool exclusive = false;
    };
    struct HeldLock {
        qint64 table = 0; // lock key
        bool exclusive = false;
    };

    // The connection, made at first need; `what` names what is being opened, for the prompt.
    PgConnection &connection(const QString &what);
    void connectWith(const QStringList &passwords, const QString &what);
    QString qualified(const QString &serverTable) const;
    // `tables` (canonical names) as the text of a server array of their names.
    QString serverTableArray(const QStringList &tables) const;
    // The sequence that numbers the field, as SQL names it.
    QString sequenceOf(const TableHandle &table, int field);
    bool hasCatalog();
    void replaceTable(const TableDef &def, bool overwrite, qint64 *lockedKey);
    PgResult takeLock(qint64 table, bool exclusive, int marker);
    void takeLocksAgain();

    BackendContext m_context;
    QString m_schema; // as the server names it
    int m_busyTimeoutMs;
    std::unique_ptr<PgConnection> m_connection;
    QHash<QString, OpenTable> m_tables; // key: canonical name
    QHash<unsigned, QString> m_tableOfOid;
    QHash<qint64, LocalUse> m_localUse; // key: lock key
    QHash<int, HeldLock> m_heldLocks;   // key: the cursor's marker
    int m_lastMarker = 0;
    ChangeCount m_changeCount;
};

} // namespace dbe::postgres
