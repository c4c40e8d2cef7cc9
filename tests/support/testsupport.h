#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// Points the engine's configuration at a fresh file in a temporary folder, so that no test
// reads or writes the user's aliases. Call once per test executable, before anything else.
void isolateEngineConfig();

// A security database with all seven tables, created in a fresh temporary directory and
// reachable through its own alias, with the master password in the session.
class SecurityDb
{
public:
    explicit SecurityDb(const QString &alias = QStringLiteral("TESTSEC"),
                        const QString &password = QStringLiteral("Master1"));
    ~SecurityDb();

    QString alias() const { return m_alias; }
    QString password() const { return m_password; }
    QString dir() const { return m_dir.path(); }

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
    QTemporaryDir m_dir;
    QString m_alias;
    QString m_password;
};

} // namespace testsupport
