#pragma once

#include "dbe/aliasinfo.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace dbe {

class Backend;

// Asked once per open when no known password unlocks the tables. Answers the password to try,
// or nothing when the user cancelled. The argument names what is being opened ("USERS.DB").
using PasswordPrompt = std::function<std::optional<QString>(const QString &tableName)>;

// The session's passwords and its prompt, shared with the storages it opens: a password added
// to the session later still reaches a database opened before, and one the prompt gave that
// worked is remembered for the next table.
struct Credentials {
    QStringList passwords;
    PasswordPrompt prompt;

    void remember(const QString &password)
    {
        if (!passwords.contains(password))
            passwords.append(password);
    }
};

// Everything a storage needs to open one database: where it is, who asks, and with what keys.
struct BackendContext {
    QString databaseName;   // the alias, or the directory named in its place
    AliasInfo alias;        // for a directory: its path and the default driver
    std::shared_ptr<Credentials> credentials;
    QString userName;       // the workstation's network user name, shown in lock lists
    int busyTimeoutMs = 0;
};

// The storages the engine offers, chosen by the alias's DEFAULT DRIVER: "PARADOX" (the
// embedded default, one encrypted file per table in a directory) or "POSTGRESQL" (a schema on a
// PostgreSQL server). Defined in dbe/storages.cpp, in the target that links every storage.
namespace storage {

inline const QString PostgresDriver = QStringLiteral("POSTGRESQL");
inline const QString DirectoryDriver = QStringLiteral("PARADOX");

// Opens the storage of the context's alias. Throws UnknownAlias for a driver no storage serves,
// and what the storage throws when it cannot reach the database.
std::unique_ptr<Backend> open(const BackendContext &context);

// Why the storage of a server alias cannot use it (a connection string that does not parse or
// carries a password, a schema name it cannot hold), or an empty text.
QString serverAliasProblem(const AliasInfo &alias);

} // namespace storage

} // namespace dbe
