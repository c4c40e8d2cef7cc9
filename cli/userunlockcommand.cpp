#include "userunlockcommand.h"

#include "commandkit.h"
#include "masterpassword.h"
#include "rules/audittrail.h"
#include "rules/logonpolicy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace cli {

int runUserUnlockCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    return runCommand(QStringLiteral("user unlock"), [] {
        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Unlocks a user locked out by wrong passwords."));
        const DatabaseOptions database;
        database.addTo(parser);
        parser.addPositionalArgument(QStringLiteral("USER"), QStringLiteral("The user's name."));
        parser.addHelpOption();
        parseArguments(parser);
        const QStringList args = parser.positionalArguments(); // "user", "unlock", USER
        if (args.size() != 3)
            wrongUsage(QStringLiteral("give the name of one user."));
        const QString alias = database.openDatabase(parser);
        security::AuditTrail::setActor(QStringLiteral("vesksec user unlock"));
        switch (security::unlockUser(alias, args.at(2))) {
        case security::Unlock::NoSuchUser:
            throw CommandFailure{QStringLiteral("there is no user %1.").arg(args.at(2))};
        case security::Unlock::NotLocked:
            QTextStream(stdout) << args.at(2) << " was not locked." << Qt::endl;
            return 0;
        case security::Unlock::Unlocked:
            break;
        }
        QTextStream(stdout) << args.at(2) << " unlocked." << Qt::endl;
        return 0;
    });
}

} // namespace cli
