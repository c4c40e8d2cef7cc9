#include "admincommands.h"

#include "adminkit.h"
#include "rules/effectiverights.h"

#include <QCoreApplication>

namespace cli {

namespace {

const QString Usage = QStringLiteral(
    "vesksec rights --user NAME [--json]\n"
    "vesksec who-can --constant NAME|ID [--json]\n\n"
    "rights lists every access constant the user holds and where it comes from: granted "
    "directly, through groups, or both. who-can lists every enabled user who holds the "
    "constant, and how. Both say what the access test of a host would answer.");

QString howHeld(const security::HeldBy &held)
{
    QStringList ways;
    if (held.direct)
        ways << QStringLiteral("directly");
    for (const QString &group : held.groups)
        ways << QStringLiteral("through group ") + group;
    return ways.join(QStringLiteral(", "));
}

int show(const std::vector<security::HeldBy> &held, bool json)
{
    if (json) {
        say(heldByJson(held) + QLatin1Char('\n'));
        return Done;
    }
    QList<QStringList> rows;
    for (const security::HeldBy &entry : held)
        rows << QStringList{QString::number(entry.id), entry.name, howHeld(entry)};
    say(textTable({QStringLiteral("ID"), QStringLiteral("Name"), QStringLiteral("Held")}, rows));
    return Done;
}

} // namespace

int runRightsCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    const bool byUser = qstrcmp(argv[1], "rights") == 0;
    return runCommand(QString::fromLatin1(argv[1]), [&app, byUser] {
        const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("rights: the user."),
                                      QStringLiteral("NAME"));
        const QCommandLineOption constant(QStringLiteral("constant"),
                                          QStringLiteral("who-can: the constant, by name or id."),
                                          QStringLiteral("NAME|ID"));
        AdminLine line(Usage, {user, constant});
        line.parse(app.arguments());
        const QCommandLineOption &wanted = byUser ? user : constant;
        if (!line.words().isEmpty() || !line.isSet(wanted) || line.isSet(byUser ? constant : user))
            wrongUsage(byUser ? QStringLiteral("give --user NAME.")
                              : QStringLiteral("give --constant NAME|ID."));
        security::EffectiveRights rights(line.openDatabase());
        if (byUser)
            return show(rights.rightsOf(userIdNamed(rights, line.value(user))), line.json());
        return show(rights.holdersOf(constantNamed(rights, line.value(constant)).id), line.json());
    });
}

} // namespace cli
