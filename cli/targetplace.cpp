#include "targetplace.h"

#include "commandkit.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "masterpassword.h"
#include "rules/createdatabase.h"
#include "transfer/placement.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace cli {

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

security::DatabasePlace TargetOptions::place(const QCommandLineParser &parser) const
{
    if (parser.isSet(server))
        return {QString(), parser.value(server), parser.value(schema)};
    return {parser.value(dir), QString(), QString()};
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
    target.check(parser);
    const QString alias = parser.value(target.alias);
    dbe::checkAliasName(alias);
    dbe::Session::instance().addPassword(password);
    security::DatabaseCreation creation(alias, target.place(parser), password);
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
    creation.registerAlias();
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
