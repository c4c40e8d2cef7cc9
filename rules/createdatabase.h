#pragma once

#include "rules/createtables.h"

#include <QString>
#include <QStringList>

namespace security {

// Where a new security database goes: a directory, or a schema on a PostgreSQL server (a libpq
// connection string without password; the master password is the password of its role).
// Neither given means wherever an existing alias already points.
struct DatabasePlace {
    QString directory;
    QString connection;
    QString schema;

    bool onServer() const { return !connection.isEmpty(); }
    bool given() const { return onServer() || !directory.isEmpty(); }
};

// The one way a security database is made, for the desktop's New and the command line's create
// alike, in the order that loses nothing:
//   1. the constructor reaches the place under the alias (an alias known already must name that
//      same place; a new one is known to this process only) and reads which security tables
//      are there;
//   2. the caller looks at existingTables() and says what to do with them;
//   3. create() writes the seven tables, and only once they exist registers the alias in the
//      engine's configuration file.
// A creation given up or failed before that leaves no new alias behind, in memory or on disk,
// and no directory it made that stayed empty.
// Every step throws dbe::Error with the engine's text, create() with the message of the table
// the engine refused (see createSecurityTables); tables made before that one stay.
class DatabaseCreation
{
public:
    DatabaseCreation(const QString &alias, const DatabasePlace &place,
                     const QString &masterPassword);
    ~DatabaseCreation();
    DatabaseCreation(const DatabaseCreation &) = delete;
    DatabaseCreation &operator=(const DatabaseCreation &) = delete;

    // The security tables found where the new ones would be written, by file name.
    const QStringList &existingTables() const { return m_existing; }
    // Where the tables go, as a message names it: the directory, or "the schema NAME".
    QString placeText() const;
    bool aliasIsNew() const { return m_aliasAdded; }

    void create(ExistingTables existing);
    // For work that writes the tables itself, as a copy or restore puts its snapshot's tables
    // in place: registers the alias once they exist, as create() does after writing its own.
    void registerAlias();

private:
    void reach(const DatabasePlace &place);
    void makeDirectory(const QString &directory);
    void giveUp() noexcept;

    QString m_alias;
    QString m_password;
    QStringList m_existing;
    // The directories this creation made, innermost first, removed again when it is given up
    // so that a refused or failed creation leaves the disk as it found it.
    QStringList m_madeDirectories;
    bool m_aliasAdded = false;
    bool m_done = false;
};

} // namespace security
