#include "admincommands.h"

#include "adminkit.h"
#include "rules/effectiverights.h"
#include "rules/securityrules.h"

#include <QCoreApplication>

using security::SecurityRules;
using NameChange = SecurityRules::NameChange;

namespace cli {

namespace {

const QString ConstantUsage =
    QStringLiteral("vesksec constant list [--json]\n"
                   "vesksec constant add NAME [--id N]\n"
                   "vesksec constant delete NAME|ID\n\n"
                   "A constant's name is at most 20 characters; a longer one is cut. Deleting a "
                   "constant takes it from every user and group.");

int runConstant(const AdminLine &line, const QCommandLineOption &idOption)
{
    const QStringList words = listAddOrDelete(line, QStringLiteral("NAME"));
    std::optional<int> accessId;
    if (line.isSet(idOption)) {
        bool isNumber = false;
        accessId = line.value(idOption).toInt(&isNumber);
        if (!isNumber || words.first() != QLatin1String("add"))
            wrongUsage(QStringLiteral("--id N goes with add, and N is a whole number."));
    }
    const QString alias = line.openDatabase();
    security::EffectiveRights rights(alias);
    const QString &verb = words.first();
    if (verb == QLatin1String("list"))
        return listNamed(rights.constants(), line.json());
    SecurityRules rules(alias);
    if (verb == QLatin1String("add")) {
        const NameChange change =
            accessId ? rules.addConstant(words[1], *accessId) : rules.addConstant(words[1]);
        requireNameWritten(change, QStringLiteral("access constant"), words[1]);
        // The name as kept, which a long name is cut to.
        const security::NamedEntry added = constantNamed(rights, QString::number(change.accessId));
        say(QStringLiteral("Access constant %1 added with id %2.\n").arg(added.name).arg(added.id));
        return Done;
    }
    const security::NamedEntry constant = constantNamed(rights, words[1]);
    if (!rules.deleteConstant(constant.id))
        throw CommandFailure{QStringLiteral("there is no access constant %1.").arg(words[1])};
    say(QStringLiteral("Access constant %1 (id %2) deleted.\n").arg(constant.name).arg(constant.id));
    return Done;
}

} // namespace

int runConstantCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    return runCommand(QStringLiteral("constant"), [&app] {
        const QCommandLineOption id(QStringLiteral("id"),
                                    QStringLiteral("add: the id the constant is to have."),
                                    QStringLiteral("N"));
        AdminLine line(ConstantUsage, {id});
        line.parse(app.arguments());
        return runConstant(line, id);
    });
}

} // namespace cli
