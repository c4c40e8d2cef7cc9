#pragma once

#include <QString>
#include <QStringList>

namespace security {

enum class ExistingTables {
    Replace, // an existing table is replaced by an empty one
    Refuse,  // an existing table stops creation there, as the engine refuses it
};

// Creates the seven security tables, empty, in the database `databaseName` (an alias),
// protected by `masterPassword`. Stops at the first table the engine refuses and throws
// dbe::Error whose text is the message for the administrator ("DBE Error : " and the engine's
// text); the tables made before it stay on disk. On success the master password is added to
// the engine session.
void createSecurityTables(const QString &databaseName, const QString &masterPassword,
                          ExistingTables existing = ExistingTables::Replace);

// The security tables that exist in the database `databaseName` (an alias, of a directory or
// of a server schema, or a directory given by its path), by file name ("USERS.DB"); empty when
// there are none, or when the database's place does not exist yet. Whoever creates a security
// database asks this of the place the tables would really be written to, so that no existing
// one is emptied unasked.
QStringList existingSecurityTables(const QString &databaseName);

// Fills an empty security database with a small, realistic set of users, access constants,
// groups and rights, and a settings row with security and logging enabled.
void fillDemoData(const QString &databaseName);

} // namespace security
