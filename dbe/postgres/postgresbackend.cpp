#include "dbe/postgres/postgresbackend.h"

#include "dbe/changewatch.h"
#include "dbe/error.h"
#include "dbe/postgres/pgconnection.h"
#include "dbe/postgres/pgschema.h"
#include "dbe/postgres/postgresstorage.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <optional>

namespace dbe::postgres {

namespace {

// The advisory locks of the engine's tables: the table's own lock is the 64-bit key
// (LockSpace, table number); a cursor's lock the pair (table number, cursor number), which the
// server lists with objsubid 2 and the table's number as classid.
constexpr qint64 LockSpace = 0x56534B00; // "VSK"
const QString HolderPrefix = QStringLiteral("vesk:");

qint64 tableLockKey(qint64 tableOid)
{
    return (LockSpace << 32) | tableOid;
}

qint32 markerClass(qint64 tableOid)
{
    return qint32(quint32(tableOid)); // the server reads it back as the same unsigned number
}

// The holder's user name as the application name of its connection: printable ASCII only,
// as the server keeps it.
QString applicationNameFor(const QString &userName)
{
    return HolderPrefix + QString::fromLatin1(QUrl::toPercentEncoding(userName));
}

QString holderOf(const QString &applicationName)
{
    if (!applicationName.startsWith(HolderPrefix))
        return applicationName;
    return QUrl::fromPercentEncoding(applicationName.mid(HolderPrefix.size()).toLatin1());
}

QString baseName(const QString &name)
{
    QString base = QFileInfo(name).fileName();
    if (base.endsWith(QLatin1String(".DB"), Qt::CaseInsensitive))
        base.chop(3);
    return base;
}

class PgStatement : public Statement
{
public:
    PgStatement(PgConnection &connection, const PostgresBackend &backend, QString sql,
                QString table, bool keepPrepared)
        : m_connection(connection), m_backend(backend), m_sql(std::move(sql)),
          m_table(std::move(table)), m_keepPrepared(keepPrepared)
    {
    }

    void bind(int position, const QVariant &value) override
    {
        if (m_values.size() < position)
            m_values.resize(position);
        m_values[position - 1] = value;
    }

    bool step() override
    {
        if (!m_result) {
            m_result = m_keepPrepared ? m_connection.runPrepared(m_sql, m_values, m_table)
                                      : m_connection.run(m_sql, m_values, m_table);
            m_row = 0;
        } else {
            ++m_row;
        }
        return m_row < m_result.rows();
    }

    void reset() override
    {
        m_result = PgResult();
        m_row = -1;
        m_values.clear();
    }

    int columnCount() const override { return m_result.columns(); }
    QString columnName(int column) const override { return m_result.columnName(column); }
    QVariant columnValue(int column) const override { return m_result.value(m_row, column); }
    ColumnOrigin columnOrigin(int column) const override
    {
        return m_backend.originOf(m_result.columnTable(column), m_result.columnNumber(column));
    }
    int changedRows() const override { return m_result.changedRows(); }
    qint64 insertedId() const override
    {
        return m_result.rows() > 0 ? m_result.value(0, 0).toLongLong() : 0;
    }

private:
    PgConnection &m_connection;
    const PostgresBackend &m_backend;
    QString m_sql;
    QString m_table;
    bool m_keepPrepared;
    QVariantList m_values;
    PgResult m_result;
    int m_row = -1;
};

class PgTableLock : public TableLock
{
public:
    PgTableLock(PostgresBackend &backend, TableHandle table, bool exclusive, int marker)
        : m_backend(backend), m_table(std::move(table)), m_exclusive(exclusive), m_marker(marker)
    {
    }
    ~PgTableLock() override { m_backend.unlock(m_table, m_exclusive, m_marker); }

private:
    PostgresBackend &m_backend;
    TableHandle m_table;
    bool m_exclusive;
    int m_marker;
};

} // namespace

std::unique_ptr<Backend> open(const BackendContext &context)
{
    if (const QString problem = aliasProblem(context.alias); !problem.isEmpty())
        throw Error(problem, Error::InvalidName);
    return std::make_unique<PostgresBackend>(context);
}

QString aliasProblem(const AliasInfo &alias)
{
    if (QString problem = nameProblem(alias.schema, QStringLiteral("schema")); !problem.isEmpty())
        return problem;
    return connectionStringProblem(alias.connection);
}

PostgresBackend::PostgresBackend(const BackendContext &context)
    : m_context(context), m_schema(serverName(context.alias.schema)),
      m_busyTimeoutMs(context.busyTimeoutMs), m_changeCount(m_schema)
{
}

PostgresBackend::~PostgresBackend() = default;

PgConnection &PostgresBackend::connection(const QString &what)
{
    if (!m_connection)
        connectWith(m_context.credentials->passwords, what);
    return *m_connection;
}

void PostgresBackend::connectWith(const QStringList &passwords, const QString &what)
{
    PgConnection::Settings settings;
    settings.connection = m_context.alias.connection;
    settings.schema = m_schema;
    settings.applicationName = applicationNameFor(m_context.userName);
    settings.busyTimeoutMs = m_busyTimeoutMs;
    const std::shared_ptr<Credentials> credentials = m_context.credentials;
    PgConnection::Prompt prompt;
    if (credentials->prompt)
        prompt = [credentials, what] { return credentials->prompt(what); };
    m_connection = PgConnection::open(settings, passwords, prompt);
    m_connection->setSessionRestorer([this] { takeLocksAgain(); });
    credentials->remember(m_connection->password());
}

QString PostgresBackend::qualified(const QString &serverTable) const
{
    return quoteIdentifier(m_schema) + QLatin1Char('.') + quoteIdentifier(serverTable);
}

// Whether the schema holds the engine's list of its tables.
bool PostgresBackend::hasCatalog()
{
    const PgResult found = connection(m_context.databaseName)
                               .run(QStringLiteral("SELECT to_regclass($1) IS NOT NULL"),
                                    {qualified(QStringLiteral("dbe_tables"))});
    return found.value(0, 0).toBool();
}

QStringList PostgresBackend::tableNames()
{
    if (!hasCatalog())
        return {};
    const PgResult names = m_connection->run(
        QStringLiteral("SELECT d.table_name FROM %1 d JOIN pg_catalog.pg_class c ON c.relname = "
                       "lower(d.table_name) JOIN pg_catalog.pg_namespace n ON n.oid = "
                       "c.relnamespace AND n.nspname = $1 ORDER BY d.table_name")
            .arg(qualified(QStringLiteral("dbe_tables"))),
        {m_schema});
    QStringList list;
    for (int row = 0; row < names.rows(); ++row)
        list.append(names.text(row, 0));
    return list;
}

TableHandle PostgresBackend::openTable(const QString &name)
{
    const QString canonical = baseName(name).toUpper();
    if (const auto it = m_tables.constFind(canonical); it != m_tables.cend())
        return it->handle;
    const QString shown = canonical + QStringLiteral(".DB");
    PgConnection &server = connection(shown);
    const QString notFound = QStringLiteral("Table does not exist: %1 (schema %2 on the database "
                                            "server)")
                                 .arg(shown, m_schema);
    if (serverName(canonical).isEmpty() || !hasCatalog())
        throw Error(notFound, Error::TableNotFound);
    const PgResult found = server.run(
        QStringLiteral("SELECT d.definition, c.oid FROM %1 d JOIN pg_catalog.pg_class c ON "
                       "c.relname = $2 JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                       "AND n.nspname = $3 WHERE d.table_name = $1")
            .arg(qualified(QStringLiteral("dbe_tables"))),
        {canonical, serverName(canonical), m_schema});
    if (found.rows() == 0)
        throw Error(notFound, Error::TableNotFound);

    OpenTable table;
    TableHandle &handle = table.handle;
    handle.def = definitionFromText(found.text(0, 0), shown);
    handle.canonicalName = canonical;
    handle.sqlName = qualified(serverName(handle.def.name));
    handle.lockKey = found.value(0, 1).toLongLong();
    for (const FieldDef &field : std::as_const(handle.def.fields))
        handle.columns.append(quoteIdentifier(serverName(field.name)));
    const PgResult columns = server.run(
        QStringLiteral("SELECT attnum, attname FROM pg_catalog.pg_attribute WHERE attrelid = $1 "
                       "AND attnum > 0 AND NOT attisdropped"),
        {handle.lockKey});
    for (int row = 0; row < columns.rows(); ++row) {
        if (const FieldDef *field = handle.def.field(columns.text(row, 1)))
            table.fieldOfColumn.insert(columns.value(row, 0).toInt(), field->name);
    }
    if (table.fieldOfColumn.size() != handle.def.fields.size())
        throw Error(QStringLiteral("The table %1 on the database server does not have the fields "
                                   "of its description; it is damaged.")
                        .arg(shown),
                    Error::Damaged);
    m_tables.insert(canonical, table);
    m_tableOfOid.insert(unsigned(handle.lockKey), canonical);
    return handle;
}

ColumnOrigin PostgresBackend::originOf(unsigned table, int column) const
{
    const auto name = m_tableOfOid.constFind(table);
    if (name == m_tableOfOid.cend())
        return {};
    const OpenTable &open = m_tables[*name];
    const QString field = open.fieldOfColumn.value(column);
    if (field.isEmpty())
        return {};
    return {open.handle.canonicalName, field};
}

void PostgresBackend::createTable(const TableDef &def, const QString &password, bool overwrite)
{
    for (const QString &problem : {tableDefProblem(def), definitionProblem(def)}) {
        if (!problem.isEmpty())
            throw Error(problem, Error::InvalidDefinition);
    }
    const QString shown = def.name.toUpper() + QStringLiteral(".DB");
    // The master password is the role's: the tables are created with the one given.
    if (m_connection && m_connection->password() != password)
        throw Error(QStringLiteral("%1: the master password of a database on a server is the "
                                   "password of its role, and the one given is not.")
                        .arg(shown),
                    Error::BadPassword);
    if (!m_connection) {
        try {
            connectWith({password}, shown);
        } catch (const Error &error) {
            throw Error(QStringLiteral("%1: %2").arg(shown, error.text()), error.code());
        }
    }

    qint64 lockedKey = 0;
    std::optional<Error> failure;
    try {
        replaceTable(def, overwrite, &lockedKey);
    } catch (const Error &error) {
        failure = Error(error.code() == Error::TableExists
                            ? error.text()
                            : QStringLiteral("%1: %2").arg(shown, error.text()),
                        error.code());
    }
    if (lockedKey != 0) {
        try {
            m_connection->run(QStringLiteral("SELECT pg_advisory_unlock($1::bigint)"), {lockedKey});
        } catch (const Error &error) {
            if (!failure)
                failure = Error(QStringLiteral("%1: %2").arg(shown, error.text()), error.code());
        }
    }
    // A cursor opened from now on reads the new table's description.
    const QString canonical = def.name.toUpper();
    if (const auto it = m_tables.constFind(canonical); it != m_tables.cend()) {
        m_tableOfOid.remove(unsigned(it->handle.lockKey));
        m_tables.erase(it);
    }
    if (failure)
        throw *failure;
}

// The table and its description go in one transaction, while its lock is held exclusively, as
// replaceTable() drops one.
void PostgresBackend::dropTable(const QString &name)
{
    const QString canonical = baseName(name).toUpper();
    const TableHandle handle = openTable(canonical);
    PgConnection &server = connection(canonical);
    const qint64 key = handle.lockKey;
    const LocalUse use = m_localUse.value(key);
    if (use.shared != 0 || use.exclusive ||
        !server.run(QStringLiteral("SELECT pg_try_advisory_lock($1::bigint)"), {tableLockKey(key)})
             .value(0, 0)
             .toBool())
        throw Error(QStringLiteral("Table is busy: %1.DB is open by another user.").arg(canonical),
                    Error::Locked);
    std::optional<Error> failure;
    try {
        server.atomically([&] {
            server.command(QStringLiteral("DROP TABLE %1").arg(handle.sqlName));
            server.run(QStringLiteral("DELETE FROM %1 WHERE table_name = $1")
                           .arg(qualified(QStringLiteral("dbe_tables"))),
                       {canonical});
        });
    } catch (const Error &error) {
        failure = error;
    }
    server.runInSession(QStringLiteral("SELECT pg_advisory_unlock($1::bigint)"),
                        {tableLockKey(key)});
    m_tableOfOid.remove(unsigned(key));
    m_tables.remove(canonical);
    if (failure)
        throw *failure;
}

// Creates the table and records its description, in one transaction; an existing table of the
// engine is dropped first when `overwrite` allows, provided nobody has it open. `lockedKey`
// receives the lock key taken for that, for the caller to give back.
void PostgresBackend::replaceTable(const TableDef &def, bool overwrite, qint64 *lockedKey)
{
    PgConnection &server = *m_connection;
    const QString canonical = def.name.toUpper();
    const QString shown = canonical + QStringLiteral(".DB");
    const QString catalog = qualified(QStringLiteral("dbe_tables"));
    server.atomically([&] {
        // Created only when missing: where it exists, the role needs no right to create schemas.
        if (server
                .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = $1"),
                     {m_schema})
                .rows() == 0)
            server.command(QStringLiteral("CREATE SCHEMA %1").arg(quoteIdentifier(m_schema)));
        server.command(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (table_name varchar(63) "
                                      "PRIMARY KEY, definition text NOT NULL)")
                           .arg(catalog));
        const PgResult existing = server.run(
            QStringLiteral("SELECT c.oid, EXISTS (SELECT 1 FROM %1 WHERE table_name = $1) FROM "
                           "pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = "
                           "c.relnamespace WHERE n.nspname = $2 AND c.relname = $3")
                .arg(catalog),
            {canonical, m_schema, serverName(def.name)});
        if (existing.rows() > 0) {
            if (!existing.value(0, 1).toBool())
                throw Error(QStringLiteral("A table %1 that is not a table of this engine exists "
                                           "in the schema %2.")
                                .arg(serverName(def.name), m_schema),
                            Error::TableExists);
            if (!overwrite)
                throw Error(
                    QStringLiteral("Table already exists: %1 (schema %2)").arg(shown, m_schema),
                    Error::TableExists);
            const qint64 key = tableLockKey(existing.value(0, 0).toLongLong());
            const LocalUse use = m_localUse.value(existing.value(0, 0).toLongLong());
            const bool free =
                use.shared == 0 && !use.exclusive &&
                server.run(QStringLiteral("SELECT pg_try_advisory_lock($1::bigint)"), {key})
                    .value(0, 0)
                    .toBool();
            if (!free)
                throw Error(QStringLiteral("Table is busy: %1 is open by another user.").arg(shown),
                            Error::Locked);
            *lockedKey = key;
            server.command(QStringLiteral("DROP TABLE %1").arg(qualified(serverName(def.name))));
        }
        server.run(QStringLiteral("DELETE FROM %1 WHERE table_name = $1").arg(catalog),
                   {canonical});
        for (const QString &statement : createStatements(def, m_schema))
            server.command(statement);
        server.run(
            QStringLiteral("INSERT INTO %1 (table_name, definition) VALUES ($1, $2)").arg(catalog),
            {canonical, definitionText(def)});
    });
}

std::unique_ptr<TableLock> PostgresBackend::lockTable(const TableHandle &table, bool exclusive)
{
    const QString shown = table.canonicalName + QStringLiteral(".DB");
    // The server lets a session have a lock it holds already; the cursors of this process share
    // one session, so they are kept apart here.
    LocalUse &use = m_localUse[table.lockKey];
    if (exclusive && (use.shared > 0 || use.exclusive))
        throw Error(QStringLiteral("Table is busy: %1 is open by another user.").arg(shown),
                    Error::Locked);
    if (!exclusive && use.exclusive)
        throw Error(
            QStringLiteral("Table is busy: %1 is opened exclusively by another user.").arg(shown),
            Error::Locked);
    connection(shown);
    const int marker = ++m_lastMarker;
    const PgResult taken = takeLock(table.lockKey, exclusive, marker);
    if (taken.isNull(0, 0))
        throw Error(exclusive
                        ? QStringLiteral("Table is busy: %1 is open by another user.").arg(shown)
                        : QStringLiteral("Table is busy: %1 is opened exclusively by "
                                         "another user.")
                              .arg(shown),
                    Error::Locked);
    if (exclusive)
        use.exclusive = true;
    else
        ++use.shared;
    m_heldLocks.insert(marker, {table.lockKey, exclusive});
    auto lock = std::make_unique<PgTableLock>(*this, table, exclusive, marker);
    if (!taken.value(0, 0).toBool()) // nobody takes a cursor's lock exclusively
        throw Error(QStringLiteral("Cannot lock table %1.").arg(shown), Error::Locked);
    return lock;
}

// The table's own lock, and the cursor's lock that carries the holder; null when the table's
// own is taken by somebody else, false when the cursor's is.
PgResult PostgresBackend::takeLock(qint64 table, bool exclusive, int marker)
{
    return m_connection->run(
        QStringLiteral("SELECT CASE WHEN %1($1::bigint) THEN pg_try_advisory_lock_shared($2::int4, "
                       "$3::int4) END")
            .arg(exclusive ? QStringLiteral("pg_try_advisory_lock")
                           : QStringLiteral("pg_try_advisory_lock_shared")),
        {tableLockKey(table), markerClass(table), marker}, m_tableOfOid.value(unsigned(table)));
}

// A new session holds none of the lost one's locks: each open cursor's are taken again, or the
// new session is given up when another workstation opened a table exclusively meanwhile.
void PostgresBackend::takeLocksAgain()
{
    for (auto it = m_heldLocks.cbegin(); it != m_heldLocks.cend(); ++it) {
        const PgResult taken = takeLock(it->table, it->exclusive, it.key());
        if (taken.isNull(0, 0) || !taken.value(0, 0).toBool())
            throw Error(QStringLiteral("Table is busy: %1.DB was opened by another user while the "
                                       "connection to the database server was lost.")
                            .arg(m_tableOfOid.value(unsigned(it->table))),
                        Error::Locked);
    }
}

void PostgresBackend::unlock(const TableHandle &table, bool exclusive, int marker) noexcept
{
    LocalUse &use = m_localUse[table.lockKey];
    if (exclusive)
        use.exclusive = false;
    else
        use.shared = qMax(0, use.shared - 1);
    m_heldLocks.remove(marker);
    if (!m_connection)
        return;
    try {
        m_connection->runInSession(
            QStringLiteral("SELECT %1($1::bigint), pg_advisory_unlock_shared($2::int4, $3::int4)")
                .arg(exclusive ? QStringLiteral("pg_advisory_unlock")
                               : QStringLiteral("pg_advisory_unlock_shared")),
            {tableLockKey(table.lockKey), markerClass(table.lockKey), marker});
    } catch (const Error &error) {
        // The server ends a session's locks with it; a connection that is gone holds none.
        qWarning("Cannot release the lock on %s: %s", qPrintable(table.canonicalName),
                 qPrintable(error.text()));
    }
}

QStringList PostgresBackend::lockHolders(const TableHandle &table)
{
    const PgResult holders =
        connection(table.canonicalName)
            .run(QStringLiteral(
                     "SELECT a.application_name FROM pg_catalog.pg_locks l JOIN "
                     "pg_catalog.pg_stat_activity a ON a.pid = l.pid WHERE l.locktype = "
                     "'advisory' AND l.granted AND l.objsubid = 2 AND l.classid = $1::oid AND "
                     "l.database = (SELECT oid FROM pg_catalog.pg_database WHERE datname = "
                     "current_database()) ORDER BY l.pid, l.objid"),
                 {table.lockKey}, table.canonicalName);
    QStringList names;
    for (int row = 0; row < holders.rows(); ++row)
        names.append(holderOf(holders.text(row, 0)));
    return names;
}

void PostgresBackend::prepareForQuery(const QString &sql)
{
    // The tables a query names are opened, so that its columns can be described as their fields.
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    const QStringList tables = tableNames();
    QSet<QString> seen;
    auto it = word.globalMatch(sql);
    while (it.hasNext()) {
        const QString token = it.next().captured().toUpper();
        if (seen.contains(token) || m_tables.contains(token))
            continue;
        seen.insert(token);
        if (tables.contains(token))
            openTable(token);
    }
}

void PostgresBackend::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_connection)
        m_connection->setBusyTimeout(milliseconds);
}

std::unique_ptr<Statement> PostgresBackend::prepare(const QString &sql, const QString &table)
{
    // The cursors' statements are sent again and again: the server keeps them prepared. A
    // query's text is sent once.
    return std::make_unique<PgStatement>(connection(m_context.databaseName), *this, sql, table,
                                         !table.isEmpty());
}

std::unique_ptr<Statement> PostgresBackend::prepareInsert(const QString &sql, const QString &table,
                                                          const QString &generatedColumn)
{
    return std::make_unique<PgStatement>(connection(m_context.databaseName), *this,
                                         sql + QStringLiteral(" RETURNING ") + generatedColumn,
                                         table, true);
}

void PostgresBackend::autoIncrementWritten(const TableHandle &table, int field, qint64 value)
{
    // The identity goes on after the number written, unless it is past it already.
    connection(table.canonicalName)
        .run(QStringLiteral("SELECT setval(s, $3::bigint) FROM (SELECT "
                            "pg_get_serial_sequence($1, $2)::regclass AS s) q WHERE $3::bigint > "
                            "COALESCE(pg_sequence_last_value(s), 0)"),
             {table.sqlName, serverName(table.def.fields.at(field).name), value},
             table.canonicalName);
}

QString PostgresBackend::sequenceOf(const TableHandle &table, int field)
{
    const PgResult found =
        connection(table.canonicalName)
            .run(QStringLiteral("SELECT pg_get_serial_sequence($1, $2)"),
                 {table.sqlName, serverName(table.def.fields.at(field).name)}, table.canonicalName);
    if (found.rows() != 1 || found.isNull(0, 0))
        throw Error(QStringLiteral("%1.DB: the field %2 is not numbered by the server.")
                        .arg(table.canonicalName, table.def.fields.at(field).name),
                    Error::Damaged);
    return found.text(0, 0);
}

qint64 PostgresBackend::autoIncrementCounter(const TableHandle &table, int field)
{
    // Before the first nextval (or after a restart) the sequence's value is still to be handed
    // out; after it, it was.
    const PgResult state = connection(table.canonicalName)
                               .run(QStringLiteral("SELECT last_value, is_called FROM %1")
                                        .arg(sequenceOf(table, field)),
                                    {}, table.canonicalName);
    const qint64 last = state.text(0, 0).toLongLong();
    return state.text(0, 1) == QLatin1String("t") ? last : last - 1;
}

void PostgresBackend::setAutoIncrementCounter(const TableHandle &table, int field, qint64 counter)
{
    // ALTER SEQUENCE, unlike setval(), is undone with the transaction it ran in.
    connection(table.canonicalName)
        .command(QStringLiteral("ALTER SEQUENCE %1 RESTART WITH %2")
                     .arg(sequenceOf(table, field))
                     .arg(std::max<qint64>(counter, 0) + 1));
}

void PostgresBackend::beginWriting(const QStringList &tables)
{
    // EXCLUSIVE lets readers (the hosts' access tests) go on, and holds every writer back.
    QStringList names;
    for (const QString &table : tables)
        names.append(openTable(table).sqlName);
    PgConnection &server = connection(m_context.databaseName);
    server.begin();
    try {
        server.command(QStringLiteral("LOCK TABLE %1 IN EXCLUSIVE MODE")
                           .arg(names.join(QStringLiteral(", "))));
    } catch (const Error &) {
        server.rollback();
        throw;
    }
}

void PostgresBackend::beginSnapshot(const QStringList &)
{
    PgConnection &server = connection(m_context.databaseName);
    server.begin();
    try {
        server.command(
            QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"));
    } catch (const Error &) {
        server.rollback();
        throw;
    }
}

namespace {

class CountedChangeWatch : public ChangeWatch
{
public:
    CountedChangeWatch(PostgresBackend &backend, QString serverTables, QString state, int session)
        : m_backend(backend), m_serverTables(std::move(serverTables)), m_state(std::move(state)),
          m_session(session)
    {
    }
    // The session is asked after the state: the state's statement may be the one that finds
    // the connection lost and makes it again.
    bool unchanged() const override
    {
        return m_backend.changeState(m_serverTables) == m_state && m_backend.session() == m_session;
    }

private:
    PostgresBackend &m_backend;
    QString m_serverTables;
    QString m_state;
    int m_session;
};

} // namespace

QString PostgresBackend::changeState(const QString &serverTables)
{
    return m_changeCount.state(connection(m_context.databaseName), serverTables).text;
}

int PostgresBackend::session() const
{
    return m_connection ? m_connection->session() : 0;
}

QString PostgresBackend::serverTableArray(const QStringList &tables) const
{
    QStringList names;
    for (const QString &table : tables)
        names.append(serverName(baseName(table)));
    // The names went through serverName(): plain lower-case words, safe inside an array literal.
    return QStringLiteral("{%1}").arg(names.join(u','));
}

std::optional<WatchedRows> PostgresBackend::readWatchedAtOnce(const QStringList &tables,
                                                              const QString &sql,
                                                              const QVariantList &values)
{
    PgConnection &server = connection(m_context.databaseName);
    if (server.inTransaction())
        throw Error(QStringLiteral("A watched read cannot run inside a transaction."),
                    Error::WrongState);
    const QString serverTables = serverTableArray(tables);
    std::optional<ChangeCount::WatchedRead> read =
        m_changeCount.readWatched(server, serverTables, sql, values);
    if (!read)
        return WatchedRows{};
    // The session after the statement, which may have been the one to connect again.
    return WatchedRows{std::move(read->rows),
                       std::make_unique<CountedChangeWatch>(*this, serverTables,
                                                            std::move(read->state),
                                                            server.session())};
}

std::unique_ptr<ChangeWatch> PostgresBackend::watchChanges(const QStringList &tables,
                                                           const ChangeWatch *)
{
    PgConnection &server = connection(m_context.databaseName);
    if (!server.inTransaction())
        throw Error(QStringLiteral("A change watch needs an open transaction."), Error::WrongState);
    const QString serverTables = serverTableArray(tables);
    if (!m_changeCount.trustworthy(server, serverTables))
        return nullptr;
    ChangeCount::State state = m_changeCount.state(server, serverTables);
    if (!state.complete)
        return nullptr;
    return std::make_unique<CountedChangeWatch>(*this, serverTables, std::move(state.text),
                                                server.session());
}

QString PostgresBackend::openingPassword() const
{
    return m_connection ? m_connection->password() : QString();
}

void PostgresBackend::prepareChangeWatch(const QString &table)
{
    m_changeCount.prepare(connection(m_context.databaseName), serverName(baseName(table)));
}

void PostgresBackend::begin()
{
    connection(m_context.databaseName).begin();
}

void PostgresBackend::commit()
{
    connection(m_context.databaseName).commit();
}

void PostgresBackend::rollback()
{
    if (m_connection)
        m_connection->rollback();
}

QString PostgresBackend::placeholder(int position) const
{
    return QStringLiteral("$%1").arg(position);
}

// The server sorts blanks last unless told; the cursors expect them first, as the embedded
// storage sorts them, and the indexes are built in that order.
QString PostgresBackend::orderTerm(const QString &expression, bool descending) const
{
    return expression +
           (descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" NULLS FIRST"));
}

QString PostgresBackend::rowLimit(int rows) const
{
    return QStringLiteral(" LIMIT %1").arg(rows);
}

QString PostgresBackend::caseBlind(const QString &expression) const
{
    return foldCase(expression);
}

} // namespace dbe::postgres
