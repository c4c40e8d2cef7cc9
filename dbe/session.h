#pragma once

#include "dbe/aliasinfo.h"
#include "dbe/storage.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace dbe {

class Database;

// The process-wide engine session: the passwords it knows, the aliases it knows, and the
// connections opened through them. Every table and query of the process goes through it.
class Session
{
public:
    using PasswordPrompt = dbe::PasswordPrompt;

    static Session &instance();

    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Passwords. A table opens without a prompt when one of these is its key.
    void addPassword(const QString &password);
    void removePassword(const QString &password);
    void removeAllPasswords();
    QStringList passwords() const { return m_credentials->passwords; }

    // Asked once per table open when no known password unlocks the table (for a server, when
    // none of the passwords is the role's).
    void setPasswordPrompt(PasswordPrompt prompt) { m_credentials->prompt = std::move(prompt); }
    const PasswordPrompt &passwordPrompt() const { return m_credentials->prompt; }

    // Aliases. The list is sorted case-blind, as a user would expect it in a picker.
    QStringList aliasNames() const;
    bool hasAlias(const QString &name) const;          // case-blind
    AliasInfo alias(const QString &name) const;         // throws UnknownAlias
    // Adds an alias of the standard driver, to be written by saveConfig(). Throws InvalidName
    // for a name the configuration cannot hold (see aliasNameProblem()) or a path it cannot,
    // DuplicateAlias when the name is taken.
    void addStandardAlias(const QString &name, const QString &path,
                          const QString &defaultDriver = QStringLiteral("PARADOX"));
    // Adds an alias for a schema on a database server (driver "POSTGRESQL": `connection` is a
    // libpq connection string without password), to be written by saveConfig(). Throws
    // InvalidName for a name, connection or schema the configuration or the storage cannot
    // hold, DuplicateAlias when the name is taken.
    void addServerAlias(const QString &name, const QString &driver, const QString &connection,
                        const QString &schema);
    // Forgets the alias and removes it from the configuration file.
    void deleteAlias(const QString &name);
    // Writes the aliases added since the configuration was read, merged into the file as it is
    // now (aliases other programs saved meanwhile are kept, and become known here). Throws
    // DuplicateAlias when another program saved one of the names for another place meanwhile.
    void saveConfig();
    // Reads the configuration file again, dropping aliases that were never saved.
    void reloadConfig();
    QString configFile() const;

    // The directory a database name stands for: the alias's PATH, or the name itself when it
    // names an existing directory (as dBASE files are opened). Throws UnknownAlias, and
    // WrongState for an alias of a server, which has no directory.
    QString directoryOf(const QString &databaseName) const;
    // Where the database's tables live, as a message shows it: the directory, or the schema
    // and the server's connection string.
    QString placeOf(const QString &databaseName) const;
    bool isOnServer(const QString &databaseName) const;

    // How long a statement waits for other workstations to release a table before it reports
    // the table busy: the session's own setting when one is made, else the alias's
    // BUSY TIMEOUT, else DefaultBusyTimeoutMs.
    static constexpr int DefaultBusyTimeoutMs = 10000;
    int busyTimeout(const QString &databaseName) const;
    // Overrides the aliases' settings for every database of the session, open ones included;
    // a negative value gives them back.
    void setBusyTimeout(int milliseconds);

    // The connection for a database name, shared by every data set of the process that uses
    // the same name. Throws UnknownAlias.
    std::shared_ptr<Database> database(const QString &databaseName);
    // Drops the session's connections (the data sets that still hold one keep it alive).
    void closeDatabases();

    // The workstation's network logon name: the login name of the process owner.
    static QString netUserName();

private:
    Session();
    ~Session();

    AliasInfo aliasOrDirectory(const QString &databaseName) const;
    std::shared_ptr<Credentials> m_credentials = std::make_shared<Credentials>();
    void adoptConfig(const QList<AliasInfo> &saved);
    void applyBusyTimeouts();

    QMap<QString, AliasInfo> m_aliases; // key: upper-cased name
    QSet<QString> m_unsaved;            // upper-cased names added since the file was read
    int m_busyTimeoutMs = -1;
    QMap<QString, std::weak_ptr<Database>> m_databases;
};

} // namespace dbe
