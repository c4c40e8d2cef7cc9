#include "admincommands.h"

#include "adminkit.h"
#include "rules/effectiverights.h"
#include "rules/schema.h"
#include "rules/securityrules.h"

#include <QCoreApplication>

using security::SecurityRules;
using Link = SecurityRules::Link;

namespace cli {

namespace {

const QString Usage = QStringLiteral(
    "vesksec grant --user NAME (--constant NAME|ID | --group NAME)\n"
    "vesksec grant --group NAME --constant NAME|ID\n"
    "vesksec revoke (the same forms)\n\n"
    "A user holds a constant granted to him and every constant of a group granted to him; a "
    "constant granted to a group is held by every user of the group. A grant that is there "
    "already changes nothing; a revoke takes only the grant named, so the user may still hold "
    "the constant through a group (see vesksec rights).");

struct Options {
    const QCommandLineOption user{QStringLiteral("user"), QStringLiteral("The user."),
                                  QStringLiteral("NAME")};
    const QCommandLineOption constant{QStringLiteral("constant"),
                                      QStringLiteral("The access constant, by name or id."),
                                      QStringLiteral("NAME|ID")};
    const QCommandLineOption group{QStringLiteral("group"), QStringLiteral("The group."),
                                   QStringLiteral("NAME")};
};

// What a grant or revoke names, looked up.
struct Target {
    QString holderName;   // the user or, for a membership, the group
    int holderId = 0;
    bool toGroup = false; // the constant becomes a member of the group
    int id = 0;           // the constant or group granted
    QString type;         // for a user: RightConstant or RightGroup
    QString what;         // "access constant View Orders", "group Managers"
};

Target lookUp(const AdminLine &line, const Options &options, security::EffectiveRights &rights)
{
    Target target;
    const bool user = line.isSet(options.user);
    const bool constant = line.isSet(options.constant);
    const bool group = line.isSet(options.group);
    if (user && constant != group) {
        target.holderName = line.value(options.user);
        target.holderId = userIdNamed(rights, target.holderName);
        const security::NamedEntry granted = constant
                                                 ? constantNamed(rights, line.value(options.constant))
                                                 : groupNamed(rights, line.value(options.group));
        target.id = granted.id;
        target.type = constant ? security::RightConstant : security::RightGroup;
        target.what = (constant ? QStringLiteral("access constant ") : QStringLiteral("group ")) +
                      granted.name;
        return target;
    }
    const security::NamedEntry holder = groupNamed(rights, line.value(options.group));
    const security::NamedEntry member = constantNamed(rights, line.value(options.constant));
    target.holderName = holder.name;
    target.holderId = holder.id;
    target.toGroup = true;
    target.id = member.id;
    target.what = QStringLiteral("access constant ") + member.name;
    return target;
}

QString capitalised(QString text)
{
    text[0] = text[0].toUpper();
    return text;
}

void checkForm(const AdminLine &line, const Options &options)
{
    const bool user = line.isSet(options.user);
    const bool constant = line.isSet(options.constant);
    const bool group = line.isSet(options.group);
    const bool toUser = user && constant != group;
    const bool toGroup = !user && constant && group;
    if (!line.words().isEmpty() || (!toUser && !toGroup))
        wrongUsage(QStringLiteral("give --user NAME with one of --constant and --group, or "
                                  "--group NAME with --constant."));
}

int grant(SecurityRules &rules, const Target &target)
{
    const Link link = target.toGroup ? rules.addMember(target.holderId, target.id)
                                     : rules.grant(target.holderId, target.id, target.type);
    switch (link) {
    case Link::Added:
        say(QStringLiteral("%1 granted to %2.\n").arg(capitalised(target.what), target.holderName));
        return Done;
    case Link::AlreadyThere:
        // The wanted state holds; a script that grants twice has done no harm.
        say(QStringLiteral("%1 holds %2 already; nothing changed.\n")
                .arg(target.holderName, target.what));
        return Done;
    case Link::NoSuchHolder:
    case Link::NoSuchTarget:
        break;
    }
    throw CommandFailure{QStringLiteral("%1 or %2 was deleted meanwhile.")
                             .arg(target.holderName, target.what)};
}

int revoke(SecurityRules &rules, const Target &target)
{
    const bool taken = target.toGroup ? rules.removeMember(target.holderId, target.id)
                                      : rules.revoke(target.holderId, target.id, target.type);
    if (!taken)
        throw CommandFailure{QStringLiteral("%1 has no grant of %2 to take away.")
                                 .arg(target.holderName, target.what)};
    say(QStringLiteral("%1 taken from %2.\n").arg(capitalised(target.what), target.holderName));
    return Done;
}

} // namespace

int runGrantCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    const bool granting = qstrcmp(argv[1], "grant") == 0;
    return runCommand(QString::fromLatin1(argv[1]), [&app, granting] {
        const Options options;
        AdminLine line(Usage, {options.user, options.constant, options.group});
        line.parse(app.arguments());
        checkForm(line, options);
        const QString alias = line.openDatabase();
        security::EffectiveRights rights(alias);
        const Target target = lookUp(line, options, rights);
        SecurityRules rules(alias);
        return granting ? grant(rules, target) : revoke(rules, target);
    });
}

} // namespace cli
