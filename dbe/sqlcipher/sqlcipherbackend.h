#pragma once

#include "dbe/backend.h"
#include "dbe/storage.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <functional>
#include <map>
#include <sys/types.h>

struct sqlite3;
struct sqlite3_stmt;

namespace dbe {

// The embedded storage: one SQLCipher file per table in the database's directory, each holding
// one SQL table of the table's name (plus the field and index descriptions the engine keeps
// beside it), encrypted with the master password. One connection per database attaches the
// files under their table names, so SQL over several tables runs unchanged and a transaction
// can span them.
class SqlCipherBackend : public Backend
{
public:
    // `context.alias.path` is the directory of the table files.
    explicit SqlCipherBackend(const BackendContext &context);
    ~SqlCipherBackend() override;

    QString directory() const { return m_directory; }

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
    // Takes every file's write lock before anything is written; see the definition.
    void beginWriting(const QStringList &tables) override;
    void beginSnapshot(const QStringList &tables) override;
    // Watches the table files through the kernel's file events (see FileChangeWatch), carrying
    // on with the kernel's watches of `previous` where that proves the files the same.
    std::unique_ptr<ChangeWatch> watchChanges(const QStringList &tables,
                                              const ChangeWatch *previous) override;
    void followReplacedFiles(const QStringList &tables) override;
    QString openingPassword() const override { return m_openedWith; }

    QString placeholder(int position) const override;
    QString orderTerm(const QString &expression, bool descending) const override;
    QString rowLimit(int rows) const override;
    QString caseBlind(const QString &expression) const override;

    static QString fileSuffix() { return QStringLiteral(".DB"); }

private:
    // `keepPrepared`: for the few texts run again and again (BEGIN, COMMIT), which are then
    // parsed once.
    void execute(const QString &sql, bool keepPrepared = false);
    // Runs a statement kept prepared by its text, answering its first row's first value;
    // `tables` and `path` name what a failure names.
    QString stepKept(const QString &sql, const QString &tables, const QString &path);
    QString findTableFile(const QString &name) const;  // file name on disk, or empty
    static QString baseName(const QString &name);      // "users.db" -> "users"
    QString tableFileName(const QString &table) const; // "" for no table
    bool tryAttach(const QString &schema, const QString &path, const QString &password);
    void refuseDamagedFile(const QString &file, const QStringList &passwords);
    bool siblingOpensWith(const QString &file, const QStringList &passwords);
    void detach(const QString &schema);
    // What SQLCipher is given to open (or create) a file of this salt with `password`.
    QByteArray keyFor(const QString &password, const QByteArray &salt) const;
    TableDef readDefinition(const QString &schema);
    void rememberAttachedFile(const QString &schema, const QString &path);
    // Whether the schema's path still names the file SQLite attached (one stat).
    bool namesAttachedFile(const QString &schema) const;
    // Detaches the schema and attaches what its path names now. Throws as openTable() does.
    void reattach(const QString &schema);
    // Runs `begin` (which begins a transaction and takes its locks) until no lock was busy; see
    // the definition.
    void beginHolding(const std::function<void()> &begin);

    struct FileIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        QByteArray path; // encoded for the system, as each check of it needs it
    };

    QString m_directory;
    std::shared_ptr<Credentials> m_credentials;
    QString m_userName;
    int m_busyTimeoutMs = 0;
    sqlite3 *m_db = nullptr;
    QMap<QString, TableHandle> m_attached;    // key: upper-cased schema name
    QMap<QString, QString> m_files;           // schema -> its file name as found on disk
    QMap<QString, FileIdentity> m_identities; // schema -> the file SQLite attached
    struct WatchTexts {
        QString path;        // of the attached file
        QString lock;        // a read that takes the file's shared lock
        QString journalMode; // the query of the file's journal mode
    };
    QHash<QString, WatchTexts> m_watchTexts; // schema -> what watchChanges() runs for it
    QString m_openedWith;                     // the password that attached a table
    QByteArray m_newSalt;                     // the salt of the tables this backend creates
    QSet<QString> m_written;                  // table files written in the open transaction
    struct FinalizeStatement {
        void operator()(sqlite3_stmt *statement) const;
    };
    using StatementPointer = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;
    std::map<QString, StatementPointer> m_keptStatements; // by text
};

} // namespace dbe
