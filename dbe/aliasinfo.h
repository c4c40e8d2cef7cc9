#pragma once

#include <QString>

namespace dbe {

// A database alias: a name for a directory of table files (driver "STANDARD", the default) or
// for a schema on a database server (a server driver such as "POSTGRESQL").
struct AliasInfo {
    QString name;
    QString driver = QStringLiteral("STANDARD");
    QString path;
    QString defaultDriver = QStringLiteral("PARADOX");
    // Server aliases: how to reach the server (a libpq connection string, never with a password)
    // and the schema that holds the tables.
    QString connection;
    QString schema;
    // How long a statement waits for another workstation to release a table before it reports
    // the table busy; negative when the alias does not say (the engine's default applies).
    int busyTimeoutMs = -1;
    bool persistent = false; // stored in the configuration file

    bool onServer() const { return !connection.isEmpty() || !schema.isEmpty(); }

    bool operator==(const AliasInfo &) const = default;
};

// Why `name` cannot be an alias name, or an empty text when it can. An alias name becomes a
// section header of the configuration file: a line break, a bracket or '=' in it would let it
// end its header early and rewrite another alias, and blanks at its ends would be lost on
// reading it back.
QString aliasNameProblem(const QString &name);

// Why `value` cannot be stored as a value of the configuration file (a path), or an empty text.
QString configValueProblem(const QString &value);

// Throws Error::InvalidName with the reason when aliasNameProblem() finds one.
void checkAliasName(const QString &name);

} // namespace dbe
