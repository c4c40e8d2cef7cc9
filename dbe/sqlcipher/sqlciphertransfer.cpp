#define SQLITE_HAS_CODEC 1
// What copies and backups of whole databases need of the embedded storage: a table's
// numbering, a snapshot of several table files, and removing a table again.

#include "dbe/error.h"
#include "dbe/sqlcipher/filetablelocks.h"
#include "dbe/sqlcipher/sqlcipherbackend.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QThread>
#include <algorithm>
#include <sqlite3.h>

namespace dbe {

qint64 SqlCipherBackend::autoIncrementCounter(const TableHandle &table, int)
{
    // AUTOINCREMENT keeps the largest number handed out in sqlite_sequence; no row there yet
    // means none was.
    auto seq = prepare(QStringLiteral("SELECT seq FROM %1.sqlite_sequence WHERE name = ?1")
                           .arg(quoteIdentifier(table.canonicalName)),
                       table.canonicalName);
    seq->bind(1, table.def.name);
    return seq->step() ? seq->columnValue(0).toLongLong() : 0;
}

void SqlCipherBackend::setAutoIncrementCounter(const TableHandle &table, int, qint64 counter)
{
    const QString schema = quoteIdentifier(table.canonicalName);
    auto drop =
        prepare(QStringLiteral("DELETE FROM %1.sqlite_sequence WHERE name = ?1").arg(schema),
                table.canonicalName);
    drop->bind(1, table.def.name);
    drop->step();
    if (counter <= 0)
        return;
    auto set = prepare(
        QStringLiteral("INSERT INTO %1.sqlite_sequence (name, seq) VALUES (?1, ?2)").arg(schema),
        table.canonicalName);
    set->bind(1, table.def.name);
    set->bind(2, counter);
    set->step();
}

// SQLite takes a file's lock at the transaction's first use of it and holds it to the end; a
// writer commits its files together once it holds all of them exclusively. While this
// transaction takes its locks one file after another, another writer may already hold some
// files and wait for one this transaction holds: each would wait out the other's busy timeout,
// and the other's logon would fail. So the locks are tried with a short wait, and given back
// and taken again from the start, a little later, while one is busy.
void SqlCipherBackend::beginHolding(const std::function<void()> &begin)
{
    // Hosts that log on in a tight loop take the files often; each try waits a little longer
    // for them, up to a wait no logon minds, and the tries go on for a few busy timeouts.
    const qint64 patience = 3 * qint64(std::max(m_busyTimeoutMs, 1));
    int wait = 20;
    QElapsedTimer waited;
    waited.start();
    const auto restoreTimeout =
        qScopeGuard([this] { sqlite3_busy_timeout(m_db, m_busyTimeoutMs); });
    for (;;) {
        sqlite3_busy_timeout(m_db, wait);
        try {
            begin();
            return;
        } catch (const Error &error) {
            if (!sqlite3_get_autocommit(m_db))
                rollback();
            if (error.code() != Error::Locked || waited.elapsed() > patience)
                throw;
        }
        QThread::msleep(QRandomGenerator::global()->bounded(5, 30));
        wait = std::min(wait * 2, 500);
    }
}

// Once this transaction holds every file's shared lock, no commit to any of them can come
// between its reads, and one that came before is seen whole.
void SqlCipherBackend::beginSnapshot(const QStringList &tables)
{
    beginHolding([&] {
        execute(QStringLiteral("BEGIN"));
        for (const QString &table : tables) {
            const QString schema = baseName(table).toUpper();
            prepare(QStringLiteral("SELECT count(*) FROM %1.sqlite_master")
                        .arg(quoteIdentifier(schema)),
                    schema)
                ->step();
        }
    });
}

// A statement that may write a file takes its write lock even when it changes nothing; held
// to the transaction's end, no other writer commits to the file meanwhile. (BEGIN IMMEDIATE
// would lock the connection's own main file too, which is unlinked.)
void SqlCipherBackend::beginWriting(const QStringList &tables)
{
    beginHolding([&] {
        execute(QStringLiteral("BEGIN"));
        for (const QString &table : tables) {
            const QString schema = baseName(table).toUpper();
            prepare(QStringLiteral("UPDATE %1.dbe_table SET name = name WHERE 0 = 1")
                        .arg(quoteIdentifier(schema)),
                    schema)
                ->step();
        }
    });
}

void SqlCipherBackend::dropTable(const QString &name)
{
    const QString file = findTableFile(name);
    if (file.isEmpty())
        throw Error(
            QStringLiteral("Table does not exist: %1").arg(baseName(name).toUpper() + fileSuffix()),
            Error::TableNotFound);
    const std::unique_ptr<TableLock> lock =
        FileTableLocks::acquire(m_directory, file, true, m_userName);
    const QString schema = baseName(file).toUpper();
    if (m_attached.contains(schema))
        detach(schema);
    QFile table(QDir(m_directory).filePath(file));
    if (!table.remove())
        throw Error(QStringLiteral("Cannot remove %1: %2").arg(file, table.errorString()),
                    Error::Io);
    QFile::remove(QDir(m_directory).filePath(file + QStringLiteral("-journal")));
}

} // namespace dbe
