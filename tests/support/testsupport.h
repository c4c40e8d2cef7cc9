#pragma once

#include "tests/support/teststorage.h"

#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

namespace dbe {
class Database;
class Table;
} // namespace dbe

namespace testsupport {

// Points the engine's configuration at a fresh file in a temporary folder, so that no test
// reads or writes the user's aliases. Call once per test executable, before anything else. In a
// process that a test started, it keeps the test's file.
void isolateEngineConfig();

// In a started process (QProcess::setChildProcessModifier): a write that would make a file
// longer than `bytes` fails with EFBIG, much as on a full disk, whoever the process runs as.
void limitFileSize(long bytes);
// A device like /dev/full, made in `dir` so that a writer that renames over it instead of writing
// to it replaces nothing of the system's; /dev/full itself where devices cannot be made.
QString fullDevice(const QString &dir);

// A security database with all seven tables, created in a fresh place of the running test
// row's storage (a temporary directory, or a schema on the test run's PostgreSQL server) and
// reachable through its own alias, with the master password in the session.
class SecurityDb
{
public:
    explicit SecurityDb(const QString &alias = QStringLiteral("TESTSEC"),
                        const QString &password = QStringLiteral("Master1"));
    ~SecurityDb();

    QString alias() const { return m_place.alias(); }
    QString password() const { return m_password; }
    // The directory of the table files; empty on a server.
    QString dir() const { return m_place.dir(); }
    // How a child process of the test names the database: the directory, or the saved alias.
    QString databaseName() const { return m_place.databaseName(); }
    const DatabasePlace &place() const { return m_place; }

    // The one settings row.
    void setSettings(bool enabled, bool logEnabled, const QString &label = QStringLiteral("Test"),
                     const QString &label1 = QStringLiteral("Department"),
                     const QString &label2 = QStringLiteral("Phone"));
    int addUser(const QString &name, const QString &password, bool enabled = true,
                bool admin = false, const QString &def1 = {}, const QString &def2 = {});
    int addAccess(const QString &name);
    int addGroup(const QString &name);
    void addMember(int groupId, int accessId);
    void grant(int userId, int id, const QString &type);
    int rowCount(const QString &table) const;

private:
    DatabasePlace m_place;
    QString m_password;
};

// Another workstation in the middle of a write to one table: while this lives, any write to
// that table from the test's own connection waits for the engine's busy timeout and fails.
// The session's busy timeout is a fraction of a second meanwhile, so that the wait is short.
class OtherStationWriting
{
public:
    OtherStationWriting(const SecurityDb &db, const QString &table, const QVariantMap &row);
    ~OtherStationWriting();
    OtherStationWriting(const OtherStationWriting &) = delete;
    OtherStationWriting &operator=(const OtherStationWriting &) = delete;

private:
    QString m_alias;
    std::shared_ptr<dbe::Database> m_database;
    std::unique_ptr<dbe::Table> m_table;
};

// Records what the program logs under the categories vesk.* while it lives, with every level
// switched on, as an administrator's QT_LOGGING_RULES="vesk.*=true" would. Messages still go
// on to the test's output.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // "category: message", in order.
    QStringList lines() const { return m_lines; }
    QString text() const { return m_lines.join(QLatin1Char('\n')); }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message);

    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

// Rows of a table read afresh in key order, each row as the listed fields joined by "|".
QStringList rows(const QString &databaseName, const QString &table, const QStringList &fields);
QStringList rows(const SecurityDb &db, const QString &table, const QStringList &fields);
// Count of rows of `table` whose `field` equals `value`.
int countWhere(const SecurityDb &db, const QString &table, const QString &field,
               const QVariant &value);

} // namespace testsupport
