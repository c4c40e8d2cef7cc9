#include "admincommands.h"

#include "adminkit.h"
#include "rules/effectiverights.h"
#include "rules/securityrules.h"

#include <QCoreApplication>

using security::SecurityRules;
using NameChange = SecurityRules::NameChange;

namespace cli {

namespace {

const QString GroupUsage = QStringLiteral("vesksec group list [--json]\n"
                                          "vesksec group add NAME\n"
                                          "vesksec group delete NAME\n\n"
                                          "Deleting a group takes it from every user; its "
                                          "constants stay.");

int runGroup(const AdminLine &line)
{
    const QStringList words = listAddOrDelete(line, QStringLiteral("NAME"));
    const QString alias = line.openDatabase();
    security::EffectiveRights rights(alias);
    const QString &verb = words.first();
    if (verb == QLatin1String("list"))
        return listNamed(rights.groups(), line.json());
    SecurityRules rules(alias);
    if (verb == QLatin1String("add")) {
        const NameChange change = rules.addGroup(words[1]);
        requireNameWritten(change, QStringLiteral("group"), words[1]);
        say(QStringLiteral("Group %1 added with id %2.\n").arg(words[1]).arg(change.accessId));
        return Done;
    }
    const security::NamedEntry group = groupNamed(rights, words[1]);
    if (!rules.deleteGroup(group.id))
        throw CommandFailure{QStringLiteral("there is no group named %1.").arg(words[1])};
    say(QStringLiteral("Group %1 (id %2) deleted.\n").arg(group.name).arg(group.id));
    return Done;
}

} // namespace

int runGroupCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    return runCommand(QStringLiteral("group"), [&app] {
        AdminLine line(GroupUsage, {});
        line.parse(app.arguments());
        return runGroup(line);
    });
}

} // namespace cli
