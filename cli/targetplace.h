#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

namespace security {
struct DatabasePlace;
}
namespace transfer {
struct Snapshot;
}

namespace cli {

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
    // The place the options name, once check() has passed.
    security::DatabasePlace place(const QCommandLineParser &parser) const;
    // "the directory DIR", "the schema NAME (CONNINFO)", for messages.
    QString placeText(const QCommandLineParser &parser) const;
};

// Puts the snapshot into the place the options name as transfer::placeSnapshot() does, all or
// nothing, reaching the place and registering the alias as every new database is made
// (security::DatabaseCreation: an existing alias must name that same place, and a refused or
// failed copy leaves neither a new alias nor an empty directory behind), and prints the rows written per table.
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
