#pragma once

#include "dbe/backend.h"

#include <QMap>
#include <QSet>

struct sqlite3;

namespace dbe {

// The embedded storage: one SQLCipher file per table in the database's directory, each holding
// one SQL table of the table's name (plus the field and index descriptions the engine keeps
// beside it), encrypted with the master password. One connection per database attaches the
// files under their table names, so SQL over several tables runs unchanged and a transaction
// can span them.
class SqlCipherBackend : public Backend
{
public:
    explicit SqlCipherBackend(QString directory);
    ~SqlCipherBackend() override;

    QString directory() const { return m_directory; }

    QStringList tableNames() override;
    TableHandle openTable(const QString &name) override;
    CreateResult createTable(const TableDef &def, const QString &password, bool overwrite) override;
    std::unique_ptr<TableLock> lockTable(const QString &canonicalName, bool exclusive) override;
    QStringList lockHolders(const QString &canonicalName) override;
    void prepareForQuery(const QString &sql) override;

    void setBusyTimeout(int milliseconds) override;
    std::unique_ptr<Statement> prepare(const QString &sql, const QString &table) override;
    void execute(const QString &sql) override;
    qint64 lastInsertId() override;
    int changedRows() override;

    QVariant toStorage(FieldType type, const QVariant &value) const override;
    QVariant fromStorage(FieldType type, const QVariant &stored) const override;
    QString caseBlind(const QString &expression) const override;

    static QString fileSuffix() { return QStringLiteral(".DB"); }

private:
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

    QString m_directory;
    sqlite3 *m_db = nullptr;
    QMap<QString, TableHandle> m_attached; // key: upper-cased schema name
    QMap<QString, QString> m_files;        // schema -> its file name as found on disk
    QByteArray m_newSalt;                  // the salt of the tables this backend creates
    QSet<QString> m_written;               // table files written in the open transaction
};

} // namespace dbe
