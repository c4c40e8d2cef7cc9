#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

namespace transfer {
struct Snapshot;
}

namespace cli {

// Registers `alias` for the directory in the session unless it exists; an existing alias must
// point at the same directory, so that a typing error cannot overwrite another database. The
// caller saves the configuration once the tables exist, so a failure leaves no alias behind.
// Throws dbe::Error DuplicateAlias, InvalidName.
void ensureDirectoryAlias(const QString &alias, const QString &dir);
// The same for a schema on a server.
void ensureServerAlias(const QString &alias, const QString &connection, const QString &schema);

// Where a command makes a database: --alias NAME (--dir DIR | --server CONNINFO --schema NAME)
// [--replace], as `create` takes them.
struct TargetOptions {
    const QCommandLineOption alias{QStringLiteral("alias"),
                                   QStringLiteral("The alias of the database to make."),
                                   QStringLiteral("NAME")};
    const QCommandLineOption dir{QStringLiteral("dir"),
                                 QStringLiteral("The directory of the table files."),
                                 QStringLiteral("DIR")};
    const QCommandLineOption server{
        QStringLiteral("server"),
        QStringLiteral("The PostgreSQL server, as a libpq connection string without password; "
                       "the master password is the password of its role."),
        QStringLiteral("CONNINFO")};
    const QCommandLineOption schema{QStringLiteral("schema"),
                                    QStringLiteral("With --server, the schema of the tables."),
                                    QStringLiteral("NAME")};
    const QCommandLineOption replace{
        QStringLiteral("replace"),
        QStringLiteral("Overwrite the security tables the place holds already.")};

    void addTo(QCommandLineParser &parser) const;
    // Throws CommandFailure WrongUsage for a wrong combination of the options.
    void check(const QCommandLineParser &parser) const;
    // The alias, registered in the session for the place (see ensureDirectoryAlias()), with
    // the directory made where it is missing and the password known to the session. Throws
    // CommandFailure, dbe::Error.
    QString prepare(const QCommandLineParser &parser, const QString &password) const;
    // "the directory DIR", "the schema NAME (CONNINFO)", for messages.
    QString placeText(const QCommandLineParser &parser) const;
};

// Puts the snapshot into the place the options name as transfer::placeSnapshot() does, all or
// nothing, saves the alias once the tables hold it, and prints the rows written per table.
// `what` names the work in the last line ("Copied", "Restored"); `audit` is the entry for the
// audit trail of a database whose rows are replaced (action and source: "restore", the file).
// Throws CommandFailure (a place that holds security tables, without --replace), dbe::Error.
struct AuditedWork {
    QString action;
    QString source;
};
void placeSnapshotAt(const TargetOptions &target, const QCommandLineParser &parser,
                     const transfer::Snapshot &snapshot, const QString &password,
                     const QString &what, const AuditedWork &audit);

} // namespace cli
