#pragma once

#include "tests/dbase/oldsecurityfiles.h"
#include "tests/support/testsupport.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace dbe {
class Database;
}

// What the import's tests share: a directory of old files and a look at the tables written.
namespace importfixture {

// The rows of a security table in key order, one text per row with its fields joined by "|".
inline QStringList rowsOf(const QString &alias, const QString &table, const QStringList &fields)
{
    return testsupport::rows(alias, table, fields);
}
// Every row of the four tables the import writes, for before-and-after comparisons.
QStringList everyImportTarget(const QString &alias);

// A security database whose connection stays open while the test runs, so that looking at the
// tables again does not attach every table file (and derive its key) again.
class TargetDb : public testsupport::SecurityDb
{
public:
    explicit TargetDb(const QString &alias = QStringLiteral("TESTSEC"),
                      const QString &password = QStringLiteral("Master1"));
    ~TargetDb();

private:
    std::shared_ptr<dbe::Database> m_connection;
};

// A directory with the four old files: constants, users with encoded names, rights that name
// deleted and missing rows, and a system row.
class OldFiles
{
public:
    OldFiles();

    QString dir() const { return m_dir.path(); }
    QString path(const QString &file) const { return m_dir.filePath(file); }

    QList<oldfixture::User> users;
    QList<oldfixture::Constant> constants;
    QList<oldfixture::Right> rights;
    QList<oldfixture::System> system;
    // Writes the lists above (again) into the directory.
    void write() const;

    // The progress lines and table rows the standard files convert to in an empty database.
    static QStringList expectedLines(bool withSystem);
    static QStringList expectedAccess();
    static QStringList expectedUsers();
    static QStringList expectedRights();

    // Byte 28 of each of the four files, in file order; -1 for one that is no regular file.
    QList<int> headerFlags() const;
    void setHeaderFlags(const QList<int> &flags) const;

private:
    QTemporaryDir m_dir;
};

} // namespace importfixture
