// vesksec copy: a security database copied whole into another place, files or server, under a
// new alias; for a site that moves its tables to a server, or back.

#include "commandkit.h"
#include "dbe/aliasinfo.h"
#include "dbe/session.h"
#include "masterpassword.h"
#include "targetplace.h"
#include "transfer/snapshot.h"
#include "transfercommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace cli {

int runCopyCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies the seven security tables of --from, every row with its numbers, dates and\n"
        "counters, into a new database under --alias: all or nothing, checked before it is\n"
        "committed. The master password stays the same; on a server it must be the password\n"
        "of the connection's role. A place that holds security tables is refused unless\n"
        "--replace is given."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("copy"), QStringLiteral("The command."));
    const QCommandLineOption from(QStringLiteral("from"),
                                  QStringLiteral("The alias of the database to copy."),
                                  QStringLiteral("ALIAS"));
    const DatabaseOptions database; // its --alias is the target's, below
    const TargetOptions target;
    parser.addOption(from);
    parser.addOptions({database.password, database.passwordStdin});
    target.addTo(parser);
    parser.process(app);

    return runCommand(QStringLiteral("copy"), [&] {
        if (parser.positionalArguments().size() != 1)
            wrongUsage(QStringLiteral("copy takes no arguments besides its options."));
        const QString source = parser.value(from);
        if (source.isEmpty())
            wrongUsage(QStringLiteral("--from ALIAS is required."));
        target.check(parser);
        dbe::checkAliasName(source);
        if (source.compare(parser.value(target.alias), Qt::CaseInsensitive) == 0)
            wrongUsage(QStringLiteral("--alias names the new database, and cannot be --from."));
        PasswordOptions given;
        if (parser.isSet(database.password))
            given.given = parser.value(database.password);
        given.fromStandardInput = parser.isSet(database.passwordStdin);
        const QString password = masterPassword(
            given, QStringLiteral("Master password for %1: ").arg(source), Confirm::Once);
        if (password.isEmpty())
            throw CommandFailure{QStringLiteral("the master password cannot be empty.")};
        dbe::Session::instance().addPassword(password);
        const transfer::Snapshot snapshot = transfer::takeSnapshot(source);
        placeSnapshotAt(target, parser, snapshot, password, QStringLiteral("Copied"),
                        {QStringLiteral("copy"), source});
        return int(Done);
    });
}

} // namespace cli
