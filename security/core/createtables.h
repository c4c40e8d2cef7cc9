#pragma once

#include <QString>

#include <functional>

namespace security {

// Creates the seven security tables, empty, in the database `databaseName` (an alias),
// protected by `masterPassword`, replacing tables that exist. Stops at the first table the
// engine refuses, hands the message for it to `showError` and answers false; the tables made
// before it stay on disk. On success the master password is added to the engine session.
bool createSecurityTables(const QString &databaseName, const QString &masterPassword,
                          const std::function<void(const QString &)> &showError);

// Fills an empty security database with a small, realistic set of users, access constants,
// groups and rights, and a settings row with security and logging enabled.
void fillDemoData(const QString &databaseName);

} // namespace security
