#define SQLITE_HAS_CODEC 1
#include "dbe/sqlcipher/sqlcipherbackend.h"

#include "dbe/error.h"
#include "dbe/fileaccess.h"
#include "dbe/logging.h"
#include "dbe/sqlcipher/filechangewatch.h"
#include "dbe/sqlcipher/filetablelocks.h"
#include "dbe/sqlcipher/sqlcipherkeys.h"
#include "dbe/sqlcipher/sqlcipherstorage.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>

namespace dbe {

namespace {

QString sqliteText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The engine's own words for the failures callers react to; SQLite's text for the rest.
// `tables` names the table file(s) the statement worked on, when known, so that a busy or damaged
// table can be told apart from its siblings.
// `path`, when given, is the one file's full path, for the administrator who looks for it.
[[noreturn]] void throwFor(int rc, sqlite3 *db, const QString &tables = {},
                           const QString &path = {})
{
    const int primary = rc & 0xff;
    const QString detail = sqliteText(db);
    switch (primary) {
    case SQLITE_CONSTRAINT:
        throw Error(QStringLiteral("Key violation."), Error::KeyViolation);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        if (tables.isEmpty())
            throw Error(QStringLiteral("Table is busy (%1).").arg(detail), Error::Locked);
        throw Error(
            QStringLiteral("Table is busy: %1 is in use by another user (%2).").arg(tables, detail),
            Error::Locked);
    case SQLITE_ERROR:
        // A table this connection attached and described no longer in its file: the file was
        // cut short, or replaced by one that is not this table.
        if (!tables.isEmpty() && detail.startsWith(QLatin1String("no such table")))
            throw Error(QStringLiteral("The table file %1 no longer holds its table: it is "
                                       "damaged, or was replaced or removed (%2).")
                            .arg(path.isEmpty() ? tables : QDir::toNativeSeparators(path), detail),
                        Error::Damaged);
        throw Error(tables.isEmpty() ? detail : tables + QStringLiteral(": ") + detail,
                    Error::General);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        // The key opened the file when it was attached: what no longer reads is damage.
        if (tables.isEmpty())
            throw Error(QStringLiteral("A table is damaged (%1).").arg(detail), Error::Damaged);
        throw Error(QStringLiteral("The table file %1 is damaged (%2).")
                        .arg(path.isEmpty() ? tables : QDir::toNativeSeparators(path), detail),
                    Error::Damaged);
    default:
        throw Error(tables.isEmpty() ? detail : tables + QStringLiteral(": ") + detail,
                    Error::General);
    }
}

class SqliteStatement : public Statement
{
public:
    // `written` collects the tables written inside the current transaction, so that a commit
    // that finds one busy can name them.
    SqliteStatement(sqlite3 *db, sqlite3_stmt *stmt, const QString &tablePath,
                    QSet<QString> *written)
        : m_db(db), m_stmt(stmt), m_tablePath(tablePath),
          m_tableFile(tablePath.isEmpty() ? QString() : QFileInfo(tablePath).fileName()),
          m_written(written)
    {
    }
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }

    void bind(int position, const QVariant &value) override
    {
        int rc = SQLITE_OK;
        if (value.isNull() || !value.isValid()) {
            rc = sqlite3_bind_null(m_stmt, position);
        } else {
            switch (value.typeId()) {
            case QMetaType::Bool:
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Long:
            case QMetaType::Short:
                rc = sqlite3_bind_int64(m_stmt, position, value.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(m_stmt, position, value.toDouble());
                break;
            case QMetaType::QByteArray: {
                const QByteArray bytes = value.toByteArray();
                rc = sqlite3_bind_blob(m_stmt, position, bytes.constData(), int(bytes.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text(m_stmt, position, text.constData(), int(text.size()),
                                       SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (rc != SQLITE_OK)
            throwFor(rc, m_db, m_tableFile, m_tablePath);
    }

    bool step() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
            const bool writes = !sqlite3_stmt_readonly(m_stmt);
            if (!m_tableFile.isEmpty() && writes && !sqlite3_get_autocommit(m_db))
                m_written->insert(m_tablePath);
            // The connection's counters change with the next statement: keep this one's.
            if (writes && rc == SQLITE_DONE) {
                m_changedRows = sqlite3_changes(m_db);
                m_insertedId = sqlite3_last_insert_rowid(m_db);
            }
            return rc == SQLITE_ROW;
        }
        sqlite3_reset(m_stmt);
        throwFor(rc, m_db, m_tableFile, m_tablePath);
    }

    void reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

    int changedRows() const override { return m_changedRows; }
    // An autoincrement field is the row's own id (INTEGER PRIMARY KEY), so the row id is its
    // number.
    qint64 insertedId() const override { return m_insertedId; }

    int columnCount() const override { return sqlite3_column_count(m_stmt); }

    QString columnName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
    }

    QVariant columnValue(int column) const override
    {
        switch (sqlite3_column_type(m_stmt, column)) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_stmt, column));
        case SQLITE_TEXT:
            return QVariant(QString::fromUtf8(
                reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                sqlite3_column_bytes(m_stmt, column)));
        case SQLITE_BLOB:
            return QVariant(
                QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                           sqlite3_column_bytes(m_stmt, column)));
        default:
            return {};
        }
    }

    ColumnOrigin columnOrigin(int column) const override
    {
        const char *schema = sqlite3_column_database_name(m_stmt, column);
        const char *name = sqlite3_column_origin_name(m_stmt, column);
        if (!schema || !name)
            return {};
        return {QString::fromUtf8(schema), QString::fromUtf8(name)};
    }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt;
    QString m_tablePath;
    QString m_tableFile;
    QSet<QString> *m_written;
    int m_changedRows = 0;
    qint64 m_insertedId = 0;
};

void execOn(sqlite3 *db, const QString &sql, const QString &tables = {}, const QString &path = {})
{
    char *message = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        throwFor(rc, db, tables, path);
}

// The first bytes of an SQLite database that nobody encrypted.
bool isPlainSqliteFile(const QString &path)
{
    return sqlcipherkeys::fileHead(path, 16) == QByteArray("SQLite format 3", 16);
}

// The SQL column type: TEXT affinity for text, dates and times, so "007" stays "007" and
// ISO text sorts in time order; INTEGER for numbers and logicals (0/1).
QString sqlColumnType(FieldType type)
{
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Timestamp:
    case FieldType::Date:
        return QStringLiteral("TEXT");
    case FieldType::Float:
        return QStringLiteral("REAL");
    default:
        return QStringLiteral("INTEGER");
    }
}

QString sqlLiteral(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QStringList createStatements(const TableDef &def)
{
    const FieldDef *autoInc = nullptr;
    for (const FieldDef &field : def.fields) {
        if (field.type == FieldType::AutoInc)
            autoInc = &field;
    }
    const IndexDef *primary = def.primaryIndex();
    QStringList columns;
    for (const FieldDef &field : def.fields) {
        QString column = quoteIdentifier(field.name) + QLatin1Char(' ') + sqlColumnType(field.type);
        // The engine numbers an autoincrement field as the row's own id: never reused, 1 first.
        if (&field == autoInc)
            column += QStringLiteral(" PRIMARY KEY AUTOINCREMENT");
        columns.append(column);
    }
    QStringList statements;
    statements.append(QStringLiteral("CREATE TABLE %1 (%2)")
                          .arg(quoteIdentifier(def.name), columns.join(QStringLiteral(", "))));
    for (const IndexDef &index : def.indexes) {
        const bool coveredByRowId =
            index.primary && autoInc && index.fields.size() == 1 &&
            index.fields.first().compare(autoInc->name, Qt::CaseInsensitive) == 0;
        if (coveredByRowId)
            continue;
        QStringList keyColumns;
        for (const QString &field : index.fields) {
            QString column = quoteIdentifier(def.field(field)->name);
            if (index.caseInsensitive)
                column += QStringLiteral(" COLLATE NOCASE");
            keyColumns.append(column);
        }
        statements.append(
            QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                .arg(index.unique || index.primary ? QStringLiteral("UNIQUE ") : QString(),
                     quoteIdentifier(index.name), quoteIdentifier(def.name),
                     keyColumns.join(QStringLiteral(", "))));
    }
    Q_UNUSED(primary)

    statements.append(QStringLiteral("CREATE TABLE dbe_table (name TEXT NOT NULL)"));
    statements.append(
        QStringLiteral("INSERT INTO dbe_table VALUES (%1)").arg(sqlLiteral(def.name)));
    statements.append(QStringLiteral("CREATE TABLE dbe_fields (position INTEGER PRIMARY KEY, "
                                     "name TEXT NOT NULL, type TEXT NOT NULL, size INTEGER)"));
    for (int i = 0; i < def.fields.size(); ++i) {
        const FieldDef &field = def.fields[i];
        statements.append(QStringLiteral("INSERT INTO dbe_fields VALUES (%1, %2, %3, %4)")
                              .arg(i + 1)
                              .arg(sqlLiteral(field.name), sqlLiteral(fieldTypeToken(field.type)))
                              .arg(field.size));
    }
    statements.append(QStringLiteral(
        "CREATE TABLE dbe_indexes (number INTEGER, name TEXT NOT NULL, fields TEXT NOT NULL, "
        "is_primary INTEGER, is_unique INTEGER, maintained INTEGER, case_insensitive INTEGER)"));
    for (const IndexDef &index : def.indexes) {
        statements.append(
            QStringLiteral("INSERT INTO dbe_indexes VALUES (%1, %2, %3, %4, %5, %6, %7)")
                .arg(index.number)
                .arg(sqlLiteral(index.name), sqlLiteral(index.fields.join(QLatin1Char(';'))))
                .arg(int(index.primary))
                .arg(int(index.unique || index.primary))
                .arg(int(index.maintained))
                .arg(int(index.caseInsensitive)));
    }
    return statements;
}

// The watch of rows read from a file that has lost its name: the next look sees a change, and
// the reader reads the file the name gives then.
class EndedWatch : public ChangeWatch
{
public:
    bool unchanged() const override { return false; }
};

} // namespace

std::unique_ptr<Backend> sqlcipher::open(const BackendContext &context)
{
    const QString directory = QDir::cleanPath(context.alias.path);
    if (!QFileInfo(directory).isDir())
        throw Error(QStringLiteral("Directory does not exist: %1 (database %2)")
                        .arg(directory, context.databaseName),
                    Error::Io);
    BackendContext inDirectory = context;
    inDirectory.alias.path = directory;
    return std::make_unique<SqlCipherBackend>(inDirectory);
}

// The connection's main database holds nothing, but SQLite commits a transaction over several
// attached files atomically only through a super-journal named after a main database file on
// disk: with an in-memory one, a crash between the files' commits keeps one table's change and
// loses the other's (a logon counted but not logged). So the main database is a file in the
// tables' directory, where every workstation that recovers a table's journal looks for the
// super-journal, unlinked as soon as it is open. A directory nobody may write to gets the
// in-memory one; nothing can be written there anyway.
static int openConnection(const QString &directory, sqlite3 **db)
{
    static QAtomicInt serial;
    const QString mainFile = QDir(directory).filePath(
        QStringLiteral(".dbe-%1-%2").arg(QCoreApplication::applicationPid()).arg(serial++));
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(QFile::encodeName(mainFile).constData(), db, flags, nullptr) == SQLITE_OK &&
        QFile::exists(mainFile)) {
        QFile::remove(mainFile);
        return SQLITE_OK;
    }
    sqlite3_close(*db);
    *db = nullptr;
    QFile::remove(mainFile);
    return sqlite3_open_v2(":memory:", db, flags, nullptr);
}

SqlCipherBackend::SqlCipherBackend(const BackendContext &context)
    : m_directory(context.alias.path), m_credentials(context.credentials),
      m_userName(context.userName)
{
    const int rc = openConnection(m_directory, &m_db);
    if (rc != SQLITE_OK) {
        const QString text = m_db ? sqliteText(m_db) : QStringLiteral("out of memory");
        sqlite3_close(m_db);
        m_db = nullptr;
        throw Error(QStringLiteral("Cannot start the database engine: %1").arg(text));
    }
    m_busyTimeoutMs = context.busyTimeoutMs;
    sqlite3_busy_timeout(m_db, context.busyTimeoutMs);
    sqlite3_extended_result_codes(m_db, 1);
}

void SqlCipherBackend::FinalizeStatement::operator()(sqlite3_stmt *statement) const
{
    sqlite3_finalize(statement);
}

SqlCipherBackend::~SqlCipherBackend()
{
    m_keptStatements.clear();
    sqlite3_close_v2(m_db);
}

void SqlCipherBackend::setBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    sqlite3_busy_timeout(m_db, milliseconds);
}

QString SqlCipherBackend::baseName(const QString &name)
{
    // The file name part, as QFileInfo gives it, without building one at every access test.
    QString base = name.mid(name.lastIndexOf(u'/') + 1);
    if (base.endsWith(fileSuffix(), Qt::CaseInsensitive))
        base.chop(fileSuffix().size());
    return base;
}

QString SqlCipherBackend::findTableFile(const QString &name) const
{
    const QString wanted = baseName(name) + fileSuffix();
    const QStringList files = QDir(m_directory).entryList(QDir::Files);
    for (const QString &file : files) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0)
            return file;
    }
    return {};
}

QStringList SqlCipherBackend::tableNames()
{
    QStringList names;
    const QStringList files = QDir(m_directory).entryList(QDir::Files, QDir::Name);
    for (const QString &file : files) {
        if (file.endsWith(fileSuffix(), Qt::CaseInsensitive))
            names.append(baseName(file).toUpper());
    }
    names.sort();
    return names;
}

bool SqlCipherBackend::tryAttach(const QString &schema, const QString &path,
                                 const QString &password)
{
    sqlite3_stmt *stmt = nullptr;
    const QString sql =
        QStringLiteral("ATTACH DATABASE ?1 AS %1 KEY ?2").arg(quoteIdentifier(schema));
    int rc = sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        throwFor(rc, m_db);
    const QByteArray file = QFile::encodeName(path);
    const QByteArray key = keyFor(password, sqlcipherkeys::saltOf(path));
    sqlite3_bind_text(stmt, 1, file.constData(), int(file.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, key.constData(), int(key.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    // ATTACH reads the schema at once: a wrong key shows here already, and leaves nothing attached.
    if ((rc & 0xff) == SQLITE_NOTADB)
        return false;
    if (rc != SQLITE_DONE)
        throwFor(rc, m_db, QFileInfo(path).fileName(), path);

    // The key is only checked when a page is read: probe with a real query.
    const QString probe =
        QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(quoteIdentifier(schema));
    rc = sqlite3_prepare_v2(m_db, probe.toUtf8().constData(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
    }
    if (rc == SQLITE_ROW)
        return true;
    if ((rc & 0xff) == SQLITE_NOTADB) {
        detach(schema);
        return false;
    }
    try {
        throwFor(rc, m_db, QFileInfo(path).fileName(), path);
    } catch (const Error &) {
        detach(schema);
        throw;
    }
}

QByteArray SqlCipherBackend::keyFor(const QString &password, const QByteArray &salt) const
{
    const QByteArray derived = sqlcipherkeys::keyText(password, salt);
    return derived.isEmpty() ? password.toUtf8() : derived;
}

void SqlCipherBackend::detach(const QString &schema)
{
    // Some name the schema, which is about to be another file's.
    m_keptStatements.clear();
    execute(QStringLiteral("DETACH DATABASE %1").arg(quoteIdentifier(schema)));
    m_attached.remove(schema.toUpper());
    m_files.remove(schema.toUpper());
    m_identities.remove(schema.toUpper());
    m_watchTexts.remove(schema.toUpper());
}

TableDef SqlCipherBackend::readDefinition(const QString &schema)
{
    const QString q = quoteIdentifier(schema);
    TableDef def;
    auto names = prepare(QStringLiteral("SELECT name FROM %1.dbe_table").arg(q), schema);
    if (names->step())
        def.name = names->columnValue(0).toString();
    auto fields = prepare(
        QStringLiteral("SELECT name, type, size FROM %1.dbe_fields ORDER BY position").arg(q),
        schema);
    while (fields->step()) {
        def.fields.append(FieldDef{fields->columnValue(0).toString(),
                                   fieldTypeFromToken(fields->columnValue(1).toString()),
                                   fields->columnValue(2).toInt()});
    }
    auto indexes = prepare(QStringLiteral("SELECT number, name, fields, is_primary, is_unique, "
                                          "maintained, case_insensitive FROM %1.dbe_indexes "
                                          "ORDER BY number, name")
                               .arg(q),
                           schema);
    while (indexes->step()) {
        IndexDef index;
        index.number = indexes->columnValue(0).toInt();
        index.name = indexes->columnValue(1).toString();
        index.fields = indexes->columnValue(2).toString().split(QLatin1Char(';'));
        index.primary = indexes->columnValue(3).toBool();
        index.unique = indexes->columnValue(4).toBool();
        index.maintained = indexes->columnValue(5).toBool();
        index.caseInsensitive = indexes->columnValue(6).toBool();
        def.indexes.append(index);
    }
    if (def.name.isEmpty() || def.fields.isEmpty())
        throw Error(QStringLiteral("%1 is not a table of this engine.").arg(schema));
    return def;
}

TableHandle SqlCipherBackend::openTable(const QString &name)
{
    const QString schema = baseName(name).toUpper();
    if (const auto it = m_attached.constFind(schema); it != m_attached.cend()) {
        if (!sqlite3_get_autocommit(m_db) || namesAttachedFile(schema))
            return *it;
        reattach(schema);
        return m_attached.value(schema);
    }

    // SQLite cannot attach a file inside a transaction; say so in the caller's terms.
    if (!sqlite3_get_autocommit(m_db))
        throw Error(QStringLiteral("Table %1 must be opened before the transaction starts.")
                        .arg(baseName(name).toUpper() + fileSuffix()),
                    Error::WrongState);

    const QString file = findTableFile(name);
    if (file.isEmpty())
        throw Error(QStringLiteral("Table does not exist: %1")
                        .arg(QDir(m_directory).filePath(baseName(name) + fileSuffix())),
                    Error::TableNotFound);
    const QString path = QDir(m_directory).filePath(file);

    QStringList tried = m_credentials->passwords;
    bool attached = std::any_of(tried.cbegin(), tried.cend(), [&](const QString &password) {
        if (!tryAttach(schema, path, password))
            return false;
        m_openedWith = password;
        return true;
    });
    if (!attached)
        refuseDamagedFile(file, tried);
    if (!attached && m_credentials->prompt) {
        if (const std::optional<QString> typed = m_credentials->prompt(file)) {
            attached = tryAttach(schema, path, *typed);
            if (attached) {
                m_openedWith = *typed;
                m_credentials->remember(*typed);
            } else {
                tried = {*typed};
                refuseDamagedFile(file, tried);
            }
        }
    }
    if (!attached)
        throw Error(QStringLiteral("Invalid password: the table %1 cannot be opened without its "
                                   "password.")
                        .arg(file),
                    Error::BadPassword);

    TableHandle handle;
    try {
        handle.def = readDefinition(schema);
    } catch (const Error &error) {
        detach(schema);
        // A table another user holds is busy, not damaged.
        if (error.code() == Error::Damaged || error.code() == Error::Locked)
            throw;
        throw Error(QStringLiteral("The table file %1 is damaged or is not a table of this "
                                   "engine (%2).")
                        .arg(QDir::toNativeSeparators(path), error.text()),
                    Error::Damaged);
    }
    handle.canonicalName = schema;
    handle.sqlName = quoteIdentifier(schema) + QLatin1Char('.') + quoteIdentifier(handle.def.name);
    for (const FieldDef &field : std::as_const(handle.def.fields))
        handle.columns.append(quoteIdentifier(field.name));
    m_attached.insert(schema, handle);
    m_files.insert(schema, file);
    rememberAttachedFile(schema, path);
    return handle;
}

// SQLite keeps the file it attached open. When the path comes to name another file (an older
// copy renamed over it, deleted and copied back, a link put in its place), SQLite would go on
// reading the old file, and refuse to write it once it is unlinked; so the identity of the file
// it opened is kept and compared with what the path names now.
void SqlCipherBackend::rememberAttachedFile(const QString &schema, const QString &path)
{
    struct stat status {
    };
    int moved = 0;
    const QByteArray schemaName = schema.toUtf8();
    const QByteArray encodedPath = QFile::encodeName(path);
    // The path is read after SQLite opened the file: when it names SQLite's file now (SQLite
    // compares with the file it holds), it named it then too.
    if (::stat(encodedPath.constData(), &status) != 0 ||
        sqlite3_file_control(m_db, schemaName.constData(), SQLITE_FCNTL_HAS_MOVED, &moved) !=
            SQLITE_OK ||
        moved) {
        m_identities.remove(schema);
        return;
    }
    m_identities.insert(schema, FileIdentity{status.st_dev, status.st_ino, encodedPath});
}

bool SqlCipherBackend::namesAttachedFile(const QString &schema) const
{
    const auto identity = m_identities.constFind(schema);
    if (identity == m_identities.cend())
        return false;
    struct stat status {
    };
    return ::stat(identity->path.constData(), &status) == 0 &&
           status.st_dev == identity->device && status.st_ino == identity->inode;
}

void SqlCipherBackend::reattach(const QString &schema)
{
    qCInfo(lcEngine).noquote() << "the table file of" << schema << "in" << m_directory
                               << "was replaced; it is opened again";
    detach(schema);
    openTable(schema);
}

void SqlCipherBackend::followReplacedFiles(const QStringList &tables)
{
    // SQLite can neither attach nor detach inside a transaction; one that is open read its
    // files as they were when it began.
    if (!sqlite3_get_autocommit(m_db))
        return;
    QStringList schemas;
    if (tables.isEmpty()) {
        schemas = m_attached.keys();
    } else {
        for (const QString &table : tables)
            schemas.append(baseName(table).toUpper());
    }
    for (const QString &schema : std::as_const(schemas)) {
        if (!m_attached.contains(schema))
            openTable(schema); // lost when its file went missing: the file must be back
        else if (!namesAttachedFile(schema))
            reattach(schema);
    }
}

// A file that none of `passwords` opens is either locked with another password or no longer
// readable. When one of them opens another table of the database, a wrong password is not the
// reason, and saying so would send the administrator looking in the wrong place.
void SqlCipherBackend::refuseDamagedFile(const QString &file, const QStringList &passwords)
{
    const QString shown = QDir::toNativeSeparators(QDir(m_directory).filePath(file));
    if (isPlainSqliteFile(QDir(m_directory).filePath(file)))
        throw Error(QStringLiteral("The table file %1 is not a table of this engine: it is an "
                                   "unencrypted SQLite database.")
                        .arg(shown),
                    Error::Damaged);
    if (passwords.isEmpty() || !siblingOpensWith(file, passwords))
        return;
    throw Error(QStringLiteral("The table file %1 is damaged or is not a table of this database: "
                               "the password that opens the other tables does not open it.")
                    .arg(shown),
                Error::Damaged);
}

bool SqlCipherBackend::siblingOpensWith(const QString &file, const QStringList &passwords)
{
    // A table attached already was opened with one of the session's passwords.
    if (!m_attached.isEmpty() && passwords == m_credentials->passwords)
        return true;
    const QString probe = QStringLiteral("dbe_probe");
    const QStringList files = QDir(m_directory).entryList(QDir::Files, QDir::Name);
    for (const QString &sibling : files) {
        if (!sibling.endsWith(fileSuffix(), Qt::CaseInsensitive) ||
            sibling.compare(file, Qt::CaseInsensitive) == 0)
            continue;
        const QString path = QDir(m_directory).filePath(sibling);
        for (const QString &password : passwords) {
            try {
                if (tryAttach(probe, path, password)) {
                    detach(probe);
                    return true;
                }
            } catch (const Error &) {
                break; // busy or unreadable itself: it proves nothing either way
            }
        }
    }
    return false;
}

void SqlCipherBackend::createTable(const TableDef &def, const QString &password, bool overwrite)
{
    if (const QString problem = tableDefProblem(def); !problem.isEmpty())
        throw Error(problem, Error::InvalidDefinition);

    const QString fileName = def.name.toUpper() + fileSuffix();
    // Nobody may have the table open while it is replaced.
    const std::unique_ptr<TableLock> lock =
        FileTableLocks::acquire(m_directory, fileName, true, m_userName);

    const QString existing = findTableFile(def.name);
    // SQLite creates its files for the owner to write only (0644 at most), which would shut out
    // the other members of a group sharing the directory. A new table gets what the umask
    // allows; a replaced one keeps what the administrator gave the old file.
    const mode_t mode =
        existing.isEmpty() ? creationMode() : permissionsOf(QDir(m_directory).filePath(existing));
    if (!existing.isEmpty()) {
        if (!overwrite)
            throw Error(QStringLiteral("Table already exists: %1").arg(existing),
                        Error::TableExists);
        const QString schema = baseName(existing).toUpper();
        if (m_attached.contains(schema))
            detach(schema);
        QFile old(QDir(m_directory).filePath(existing));
        if (!old.remove())
            throw Error(QStringLiteral("Cannot replace %1: %2").arg(existing, old.errorString()),
                        Error::Io);
        QFile::remove(QDir(m_directory).filePath(existing + QStringLiteral("-journal")));
    }

    const QString path = QDir(m_directory).filePath(fileName);
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = db ? sqliteText(db) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw Error(QStringLiteral("%1: %2").arg(fileName, text), Error::Io);
    }
    ::chmod(QFile::encodeName(path).constData(), mode);
    // The tables of one database share a salt, so that opening them derives one key.
    // A table added to an existing database (the kit's own additions, made when first
    // needed) takes the salt of a table attached already, so that no second key is derived.
    if (m_newSalt.isEmpty() && !m_files.isEmpty())
        m_newSalt = sqlcipherkeys::saltOf(QDir(m_directory).filePath(m_files.first()));
    if (m_newSalt.isEmpty())
        m_newSalt = sqlcipherkeys::newSalt();
    const QByteArray key = keyFor(password, m_newSalt);
    rc = sqlite3_key(db, key.constData(), int(key.size()));
    try {
        if (rc != SQLITE_OK)
            throwFor(rc, db);
        execOn(db, QStringLiteral("BEGIN"));
        for (const QString &statement : createStatements(def))
            execOn(db, statement);
        execOn(db, QStringLiteral("COMMIT"));
    } catch (const Error &error) {
        sqlite3_close(db);
        QFile::remove(path);
        throw Error(QStringLiteral("%1: %2").arg(fileName, error.text()), error.code());
    }
    sqlite3_close(db);
}

std::unique_ptr<TableLock> SqlCipherBackend::lockTable(const TableHandle &table, bool exclusive)
{
    return FileTableLocks::acquire(m_directory, tableFileName(table.canonicalName), exclusive,
                                   m_userName);
}

QStringList SqlCipherBackend::lockHolders(const TableHandle &table)
{
    return FileTableLocks::holders(m_directory, tableFileName(table.canonicalName));
}

void SqlCipherBackend::prepareForQuery(const QString &sql)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    QSet<QString> seen;
    auto it = word.globalMatch(sql);
    while (it.hasNext()) {
        const QString token = it.next().captured().toUpper();
        if (seen.contains(token) || m_attached.contains(token))
            continue;
        seen.insert(token);
        if (!findTableFile(token).isEmpty())
            openTable(token);
    }
}

std::unique_ptr<Statement> SqlCipherBackend::prepare(const QString &sql, const QString &table)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const QString file = tableFileName(table);
    const QString path = file.isEmpty() ? QString() : QDir(m_directory).filePath(file);
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        throwFor(rc, m_db, file, path);
    if (tail && !QByteArray(tail).trimmed().isEmpty()) {
        sqlite3_finalize(stmt);
        throw Error(QStringLiteral("Only one SQL statement may be given at a time."));
    }
    if (!stmt)
        throw Error(QStringLiteral("The SQL text is empty."));
    return std::make_unique<SqliteStatement>(m_db, stmt, path, &m_written);
}

std::unique_ptr<Statement> SqlCipherBackend::prepareInsert(const QString &sql, const QString &table,
                                                           const QString &generatedColumn)
{
    Q_UNUSED(generatedColumn) // the row id is the autoincrement field
    return prepare(sql, table);
}

void SqlCipherBackend::autoIncrementWritten(const TableHandle &, int, qint64)
{
    // AUTOINCREMENT goes on after the largest number ever written, whoever chose it.
}

void SqlCipherBackend::begin()
{
    execute(QStringLiteral("BEGIN"), true);
}

void SqlCipherBackend::commit()
{
    execute(QStringLiteral("COMMIT"), true);
}

void SqlCipherBackend::rollback()
{
    execute(QStringLiteral("ROLLBACK"), true);
}

std::unique_ptr<ChangeWatch> SqlCipherBackend::watchChanges(const QStringList &tables,
                                                            const ChangeWatch *previous)
{
    if (sqlite3_get_autocommit(m_db))
        throw Error(QStringLiteral("A change watch needs an open transaction."), Error::WrongState);
    QStringList paths;
    QStringList schemas;
    for (const QString &table : tables) {
        const QString schema = baseName(table).toUpper();
        schemas.append(schema);
        const auto file = m_files.constFind(schema);
        if (file == m_files.cend())
            throw Error(QStringLiteral("Table %1 is not open.").arg(schema + fileSuffix()),
                        Error::WrongState);
        // Built once per schema: a read of the rights after each commit comes here.
        WatchTexts &texts = m_watchTexts[schema];
        if (texts.path.isEmpty()) {
            texts.path = QDir(m_directory).filePath(*file);
            texts.lock =
                QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(quoteIdentifier(schema));
            texts.journalMode =
                QStringLiteral("PRAGMA %1.journal_mode").arg(quoteIdentifier(schema));
        }
        // What this transaction wrote is not in the file yet.
        if (m_written.contains(texts.path))
            return nullptr;
        // The first read takes the file's shared lock (rolling back a journal a crashed writer
        // left), and the transaction holds it to its end: from here on nobody writes the file,
        // so its head as it is now belongs to what the transaction reads, before or after.
        stepKept(texts.lock, *file, texts.path);
        const QString journalMode = stepKept(texts.journalMode, *file, texts.path);
        if (journalMode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
            return nullptr;
        paths.append(texts.path);
    }
    // Only this storage's own watch can be carried on.
    std::unique_ptr<FileChangeWatch> watch;
    if (const auto *watched = dynamic_cast<const FileChangeWatch *>(previous))
        watch = watched->renewed(paths);
    if (!watch)
        watch = FileChangeWatch::create(paths);
    // The kernel watches the files the paths name now. One renamed into a path since the
    // tables were followed (a restore putting its copy in place) is not the file the
    // transaction reads, and none of its commits would end the watch: the rows stand for
    // nothing watched, and the watch says so at once. Checked once the watch is set, so that a
    // rename after the check ends the watch itself.
    if (watch) {
        for (const QString &schema : std::as_const(schemas)) {
            if (!namesAttachedFile(schema))
                return std::make_unique<EndedWatch>();
        }
    }
    return watch;
}

// Raw statements rather than prepare()'s: a pragma counts as a write there, and would mark the
// file written in the transaction.
QString SqlCipherBackend::stepKept(const QString &sql, const QString &tables, const QString &path)
{
    StatementPointer &statement = m_keptStatements[sql];
    if (!statement) {
        sqlite3_stmt *prepared = nullptr;
        const QByteArray text = sql.toUtf8();
        const int rc =
            sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &prepared, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(prepared);
            m_keptStatements.erase(sql);
            throwFor(rc, m_db, tables, path);
        }
        statement.reset(prepared);
    }
    const int rc = sqlite3_step(statement.get());
    QString value;
    if (rc == SQLITE_ROW)
        value = QString::fromUtf8(
            reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), 0)));
    sqlite3_reset(statement.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        throwFor(rc, m_db, tables, path);
    return value;
}

void SqlCipherBackend::execute(const QString &sql, bool keepPrepared)
{
    // A commit that finds a table busy or damaged names the tables the transaction wrote.
    QStringList written;
    for (const QString &path : std::as_const(m_written))
        written.append(QFileInfo(path).fileName());
    written.sort();
    try {
        const QString tables = written.join(QStringLiteral(", "));
        const QString path = m_written.size() == 1 ? *m_written.cbegin() : QString();
        if (keepPrepared)
            stepKept(sql, tables, path);
        else
            execOn(m_db, sql, tables, path);
    } catch (const Error &) {
        if (sqlite3_get_autocommit(m_db))
            m_written.clear();
        throw;
    }
    if (sqlite3_get_autocommit(m_db))
        m_written.clear();
}

QString SqlCipherBackend::tableFileName(const QString &table) const
{
    if (table.isEmpty())
        return {};
    if (const auto it = m_files.constFind(baseName(table).toUpper()); it != m_files.cend())
        return *it;
    const QString file = findTableFile(table);
    return file.isEmpty() ? baseName(table).toUpper() + fileSuffix() : file;
}

QString SqlCipherBackend::placeholder(int position) const
{
    return QStringLiteral("?%1").arg(position);
}

// SQLite sorts NULL before every value, which is the order the cursors expect.
QString SqlCipherBackend::orderTerm(const QString &expression, bool descending) const
{
    return descending ? expression + QStringLiteral(" DESC") : expression;
}

QString SqlCipherBackend::rowLimit(int rows) const
{
    return QStringLiteral(" LIMIT %1").arg(rows);
}

QString SqlCipherBackend::caseBlind(const QString &expression) const
{
    return expression + QStringLiteral(" COLLATE NOCASE");
}

} // namespace dbe
