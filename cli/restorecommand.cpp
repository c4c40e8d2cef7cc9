// vesksec restore: a database made from a backup file, or the tables of a running site put
// back to it.

#include "commandkit.h"
#include "masterpassword.h"
#include "targetplace.h"
#include "transfer/backupfile.h"
#include "transfercommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace cli {

int runRestoreCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes the security database --alias from a backup file: all or nothing, checked\n"
        "before it is committed. The master password is the backup's; on a server it must be\n"
        "the password of the connection's role. A place that holds security tables is refused\n"
        "unless --replace is given; hosts running on them see the restored rights at their\n"
        "next access test."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("restore"), QStringLiteral("The command."));
    const QCommandLineOption inOption(QStringLiteral("in"),
                                      QStringLiteral("The backup file to restore."),
                                      QStringLiteral("FILE"));
    const DatabaseOptions database; // its --alias is the target's, below
    const TargetOptions target;
    parser.addOption(inOption);
    parser.addOptions({database.password, database.passwordStdin});
    target.addTo(parser);
    parser.process(app);

    return runCommand(QStringLiteral("restore"), [&] {
        if (parser.positionalArguments().size() != 1)
            wrongUsage(QStringLiteral("restore takes no arguments besides its options."));
        const QString file = parser.value(inOption);
        if (file.isEmpty())
            wrongUsage(QStringLiteral("--in FILE is required."));
        target.check(parser);
        PasswordOptions given;
        if (parser.isSet(database.password))
            given.given = parser.value(database.password);
        given.fromStandardInput = parser.isSet(database.passwordStdin);
        const QString password =
            masterPassword(given, QStringLiteral("Master password of the backup: "), Confirm::Once);
        if (password.isEmpty())
            throw CommandFailure{QStringLiteral("the master password cannot be empty.")};
        const transfer::Snapshot snapshot = transfer::readBackup(file, password);
        placeSnapshotAt(target, parser, snapshot, password, QStringLiteral("Restored"),
                        {QStringLiteral("restore"), QFileInfo(file).absoluteFilePath()});
        return int(Done);
    });
}

} // namespace cli
