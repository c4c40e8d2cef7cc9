#include "targetplace.h"

#include "commandkit.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/storage.h"
#include "masterpassword.h"
#include "transfer/placement.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace cli {

void ensureDirectoryAlias(const QString &alias, const QString &dir)
{
    dbe::Session &session = dbe::Session::instance();
    const QString wanted = QDir::cleanPath(QFileInfo(dir).absoluteFilePath());
    if (session.hasAlias(alias)) {
        const QString existing = session.directoryOf(alias);
        if (QFileInfo(existing).canonicalFilePath() != QFileInfo(wanted).canonicalFilePath())
            throw dbe::Error(
                QStringLiteral("The alias %1 already points at %2.").arg(alias, existing),
                dbe::Error::DuplicateAlias);
        return;
    }
    session.addStandardAlias(alias, wanted);
}

void ensureServerAlias(const QString &alias, const QString &connection, const QString &schema)
{
    dbe::Session &session = dbe::Session::instance();
    if (session.hasAlias(alias)) {
        const dbe::AliasInfo existing = session.alias(alias);
        if (existing.connection != connection ||
            existing.schema.compare(schema, Qt::CaseInsensitive) != 0)
            throw dbe::Error(
                QStringLiteral("The alias %1 already names another database.").arg(alias),
                dbe::Error::DuplicateAlias);
        return;
    }
    session.addServerAlias(alias, dbe::storage::PostgresDriver, connection, schema);
}

void TargetOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({alias, dir, server, schema, replace});
}

void TargetOptions::check(const QCommandLineParser &parser) const
{
    const bool onServer = parser.isSet(server);
    if (onServer == parser.isSet(dir))
        wrongUsage(QStringLiteral("give exactly one of --dir DIR and --server CONNINFO."));
    if (onServer != parser.isSet(schema))
        wrongUsage(QStringLiteral("--schema NAME goes with --server, and is required there."));
    if (parser.value(alias).isEmpty() || (!onServer && parser.value(dir).isEmpty()))
        wrongUsage(QStringLiteral("--alias NAME and a --dir (or --server and --schema) are "
                                  "required."));
}

QString TargetOptions::prepare(const QCommandLineParser &parser, const QString &password) const
{
    check(parser);
    const QString name = parser.value(alias);
    dbe::checkAliasName(name);
    dbe::Session::instance().addPassword(password);
    if (parser.isSet(server)) {
        ensureServerAlias(name, parser.value(server), parser.value(schema));
        return name;
    }
    const QString directory = parser.value(dir);
    if (!QDir().mkpath(directory))
        throw CommandFailure{QStringLiteral("cannot create the directory %1.").arg(directory)};
    ensureDirectoryAlias(name, directory);
    return name;
}

QString TargetOptions::placeText(const QCommandLineParser &parser) const
{
    if (parser.isSet(server))
        return QStringLiteral("the schema %1 (%2)").arg(parser.value(schema), parser.value(server));
    return QStringLiteral("the directory %1")
        .arg(QDir::cleanPath(QFileInfo(parser.value(dir)).absoluteFilePath()));
}

void placeSnapshotAt(const TargetOptions &target, const QCommandLineParser &parser,
                     const transfer::Snapshot &snapshot, const QString &password,
                     const QString &what, const AuditedWork &audit)
{
    const QString alias = target.prepare(parser, password);
    transfer::PlaceOptions options;
    options.replace = parser.isSet(target.replace);
    options.auditAction = audit.action;
    options.auditSource = audit.source;
    const transfer::Placement placement =
        transfer::placeSnapshot(alias, snapshot, password, options);
    if (placement.status == transfer::Placement::TablesExist)
        throw CommandFailure{
            QStringLiteral("security tables exist in %1 already (%2). Choose "
                           "another place, or give --replace to overwrite "
                           "them.")
                .arg(target.placeText(parser), placement.existing.join(QStringLiteral(", ")))};
    dbe::Session::instance().saveConfig();
    QTextStream out(stdout);
    qsizetype rows = 0;
    for (const QString &line : transfer::rowCounts(snapshot))
        out << line << '\n';
    for (const dbe::TableContent &table : snapshot.tables)
        rows += table.rows.size();
    out << what << " and checked: " << snapshot.tables.size() << " tables, " << rows
        << " rows, into " << target.placeText(parser) << " as alias " << alias << Qt::endl;
}

} // namespace cli
