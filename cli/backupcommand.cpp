// vesksec backup: one file holding the seven security tables as they were at one moment,
// sealed with the master password, taken while hosts go on working.

#include "commandkit.h"
#include "dbe/aliasinfo.h"
#include "dbe/session.h"
#include "masterpassword.h"
#include "transfer/backupfile.h"
#include "transfer/snapshot.h"
#include "transfercommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace cli {

int runBackupCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the seven security tables of --alias, as they are at one moment, into one file\n"
        "sealed with the master password (AES-256-GCM, key derived with PBKDF2). Hosts go on\n"
        "working meanwhile. The file is written beside its place and renamed into it when\n"
        "complete; `vesksec restore` makes a database from it."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("backup"), QStringLiteral("The command."));
    const DatabaseOptions database;
    const QCommandLineOption outOption(
        QStringLiteral("out"), QStringLiteral("The backup file to write."), QStringLiteral("FILE"));
    database.addTo(parser);
    parser.addOption(outOption);
    parser.process(app);

    return runCommand(QStringLiteral("backup"), [&] {
        if (parser.positionalArguments().size() != 1)
            wrongUsage(QStringLiteral("backup takes no arguments besides its options."));
        const QString file = parser.value(outOption);
        if (file.isEmpty())
            wrongUsage(QStringLiteral("--out FILE is required."));
        const QString alias = parser.value(database.alias);
        if (alias.isEmpty())
            wrongUsage(QStringLiteral("--alias is required."));
        dbe::checkAliasName(alias);
        PasswordOptions given;
        if (parser.isSet(database.password))
            given.given = parser.value(database.password);
        given.fromStandardInput = parser.isSet(database.passwordStdin);
        // The backup is sealed with the password that opens the tables.
        const QString password = masterPassword(
            given, QStringLiteral("Master password for %1: ").arg(alias), Confirm::Once);
        if (password.isEmpty())
            throw CommandFailure{QStringLiteral("the master password cannot be empty.")};
        dbe::Session::instance().addPassword(password);
        const transfer::Snapshot snapshot = transfer::takeSnapshot(alias);
        transfer::writeBackup(file, snapshot, password);
        // Read back as a restore would read it: a backup that cannot be restored is none.
        if (!(transfer::readBackup(file, password) == snapshot))
            throw CommandFailure{QStringLiteral("the backup %1 does not read back as it was "
                                                "written.")
                                     .arg(file)};
        QTextStream out(stdout);
        for (const QString &line : transfer::rowCounts(snapshot))
            out << line << '\n';
        out << "Backup of " << alias << " as of " << snapshot.taken.toString(Qt::ISODateWithMs)
            << " written to " << file << " and checked" << Qt::endl;
        return int(Done);
    });
}

} // namespace cli
