#include "dbe/database.h"

#include "dbe/backend.h"
#include "dbe/error.h"
#include "dbe/logging.h"

namespace dbe {

Database::Database(QString name, std::unique_ptr<Backend> backend)
    : m_name(std::move(name)), m_backend(std::move(backend))
{
}

Database::~Database() = default;

void Database::createTable(const TableDef &def, const QString &password, bool overwrite)
{
    m_backend->createTable(def, password, overwrite);
}

void Database::dropTable(const QString &name)
{
    if (m_depth != 0)
        throw Error(QStringLiteral("A table cannot be removed inside a transaction."),
                    Error::WrongState);
    m_backend->dropTable(name);
}

QStringList Database::tableNames()
{
    return m_backend->tableNames();
}

std::unique_ptr<ChangeWatch> Database::watchChanges(const QStringList &tables)
{
    if (m_depth == 0)
        throw Error(QStringLiteral("A change watch needs an open transaction."), Error::WrongState);
    return m_backend->watchChanges(tables, nullptr);
}

WatchedRows Database::readWatched(const QStringList &tables, const QString &sql,
                                  const QVariantList &values, const ChangeWatch *previous,
                                  const std::function<void()> &afterWatch)
{
    if (m_depth != 0)
        throw Error(QStringLiteral("A watched read cannot run inside a transaction."),
                    Error::WrongState);
    if (std::optional<WatchedRows> read = m_backend->readWatchedAtOnce(tables, sql, values))
        return std::move(*read);

    Transaction transaction(*this);
    // Taken before the read, so that the rows are no older than the watch.
    WatchedRows read;
    read.watch = m_backend->watchChanges(tables, previous);
    if (!read.watch) {
        transaction.commit();
        return read;
    }
    if (afterWatch)
        afterWatch();
    std::shared_ptr<Statement> &statement = m_watchedReads[sql];
    if (!statement)
        statement = m_backend->prepare(sql, {});
    statement->reset();
    for (int i = 0; i < values.size(); ++i)
        statement->bind(i + 1, values[i]);
    while (statement->step()) {
        QVariantList row;
        row.reserve(statement->columnCount());
        for (int column = 0; column < statement->columnCount(); ++column)
            row.append(statement->columnValue(column));
        read.rows.append(std::move(row));
    }
    statement->reset();
    transaction.commit();
    return read;
}

void Database::followReplacedFiles(const QStringList &tables)
{
    if (m_depth == 0)
        m_backend->followReplacedFiles(tables);
}

void Database::prepareChangeWatch(const QString &table)
{
    m_backend->prepareChangeWatch(table);
}

void Database::begin()
{
    if (m_depth == 0) {
        m_backend->begin();
        m_rollbackOnly = false;
    }
    ++m_depth;
}

void Database::beginSnapshot(const QStringList &tables)
{
    if (m_depth != 0)
        throw Error(QStringLiteral("A snapshot cannot begin inside a transaction."),
                    Error::WrongState);
    m_backend->beginSnapshot(tables);
    m_rollbackOnly = false;
    m_depth = 1;
}

void Database::beginWriting(const QStringList &tables)
{
    if (m_depth != 0)
        throw Error(QStringLiteral("The tables cannot be held inside a transaction."),
                    Error::WrongState);
    m_backend->beginWriting(tables);
    m_rollbackOnly = false;
    m_depth = 1;
}

void Database::commit()
{
    if (m_depth == 0)
        throw Error(QStringLiteral("No transaction is active."), Error::WrongState);
    if (m_depth > 1) {
        --m_depth;
        return;
    }
    if (m_rollbackOnly) {
        rollback();
        throw Error(QStringLiteral("The transaction was rolled back by an inner failure."));
    }
    m_backend->commit();
    m_depth = 0;
}

void Database::rollback()
{
    if (m_depth == 0)
        return;
    if (m_depth > 1) {
        --m_depth;
        m_rollbackOnly = true;
        return;
    }
    m_depth = 0;
    m_rollbackOnly = false;
    m_backend->rollback();
}

QString quoteIdentifier(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

Transaction::Transaction(Database &db) : m_db(db)
{
    m_db.begin();
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_db.rollback();
    } catch (const std::exception &error) {
        // A destructor must not throw; the engine ends an unfinished transaction itself.
        qCWarning(lcEngine).noquote()
            << "rolling back a transaction of" << m_db.name() << "failed:" << error.what();
    }
}

void Transaction::commit()
{
    m_db.commit();
    m_done = true;
}

QString Database::openingPassword() const
{
    return m_backend->openingPassword();
}

} // namespace dbe
