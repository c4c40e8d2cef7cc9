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

const QString GroupUsage = QStringLiteral("vesksec group list [--json]\n"
                                          "vesksec group add NAME\n"
                                          "vesksec group delete NAME\n\n"
                                          "Deleting a group takes it from every user; its "
                                          "constants stay.");

int listEntries(const std::vector<security::NamedEntry> &entries, bool json)
{
    if (json) {
        QStringList items;
        for (const security::NamedEntry &entry : entries)
            items << jsonObject({{QStringLiteral("id"), entry.id},
                                 {QStringLiteral("name"), entry.name}});
        say(jsonArray(items) + QLatin1Char('\n'));
        return Done;
    }
    QList<QStringList> rows;
    for (const security::NamedEntry &entry : entries)
        rows << QStringList{QString::number(entry.id), entry.name};
    say(textTable({QStringLiteral("ID"), QStringLiteral("Name")}, rows));
    return Done;
}

// Throws the refusal of a name that was not written.
void requireWritten(const NameChange &change, const QString &what, const QString &name)
{
    switch (change.status) {
    case NameChange::Written:
        return;
    case NameChange::EmptyName:
        throw CommandFailure{QStringLiteral("a %1 needs a name.").arg(what)};
    case NameChange::Duplicate:
        throw CommandFailure{QStringLiteral("the %1 %2 exists already (id %3).")
                                 .arg(what, name)
                                 .arg(change.accessId)};
    case NameChange::NotFound:
        throw CommandFailure{QStringLiteral("there is no %1 %2.").arg(what, name)};
    case NameChange::IdTaken:
        throw CommandFailure{
            QStringLiteral("another access constant has the id %1.").arg(change.accessId)};
    case NameChange::BadId:
        throw CommandFailure{QStringLiteral("an access constant's id is a number from 1 up.")};
    }
}

// The verb and, unless it is list, the one name after it.
QStringList verbAndName(const AdminLine &line, const QString &nameWord)
{
    const QStringList words = line.words();
    const QString verb = words.value(0);
    if (verb == QLatin1String("list") && words.size() == 1)
        return words;
    if ((verb == QLatin1String("add") || verb == QLatin1String("delete")) && words.size() == 2)
        return words;
    wrongUsage(QStringLiteral("give list, or add or delete with one %1.").arg(nameWord));
}

int runConstant(const AdminLine &line, const QCommandLineOption &idOption)
{
    const QStringList words = verbAndName(line, QStringLiteral("NAME"));
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
        return listEntries(rights.constants(), line.json());
    SecurityRules rules(alias);
    if (verb == QLatin1String("add")) {
        const NameChange change =
            accessId ? rules.addConstant(words[1], *accessId) : rules.addConstant(words[1]);
        requireWritten(change, QStringLiteral("access constant"), words[1]);
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

int runGroup(const AdminLine &line)
{
    const QStringList words = verbAndName(line, QStringLiteral("NAME"));
    const QString alias = line.openDatabase();
    security::EffectiveRights rights(alias);
    const QString &verb = words.first();
    if (verb == QLatin1String("list"))
        return listEntries(rights.groups(), line.json());
    SecurityRules rules(alias);
    if (verb == QLatin1String("add")) {
        const NameChange change = rules.addGroup(words[1]);
        requireWritten(change, QStringLiteral("group"), words[1]);
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
