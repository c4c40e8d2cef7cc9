#include "admincommands.h"

#include "adminkit.h"
#include "masterpassword.h"
#include "rules/effectiverights.h"
#include "rules/schema.h"
#include "rules/securityrules.h"

#include <QCoreApplication>

using security::SecurityRules;
using UserChange = SecurityRules::UserChange;

namespace cli {

namespace {

const QString Usage = QStringLiteral(
    "vesksec user list [--json]\n"
    "vesksec user add NAME [--admin] [--disabled] [--def1 TEXT] [--def2 TEXT] "
    "[--new-password-stdin]\n"
    "vesksec user set NAME [--enable|--disable] [--admin|--no-admin] [--def1 TEXT] "
    "[--def2 TEXT]\n"
    "vesksec user passwd NAME [--new-password-stdin]\n"
    "vesksec user delete NAME\n\n"
    "The new password is read as one line of standard input with --new-password-stdin (after "
    "the master password's line, if that comes from standard input too); else it is asked for "
    "twice on the terminal without echo.");

struct Options {
    const QCommandLineOption admin{QStringLiteral("admin"),
                                   QStringLiteral("add, set: administrative rights.")};
    const QCommandLineOption noAdmin{QStringLiteral("no-admin"),
                                     QStringLiteral("set: no administrative rights.")};
    const QCommandLineOption disabled{QStringLiteral("disabled"),
                                      QStringLiteral("add: the user cannot log on yet.")};
    const QCommandLineOption enable{QStringLiteral("enable"), QStringLiteral("set: may log on.")};
    const QCommandLineOption disable{QStringLiteral("disable"),
                                     QStringLiteral("set: may not log on.")};
    const QCommandLineOption def1{QStringLiteral("def1"),
                                  QStringLiteral("add, set: the first user-defined field."),
                                  QStringLiteral("TEXT")};
    const QCommandLineOption def2{QStringLiteral("def2"),
                                  QStringLiteral("add, set: the second user-defined field."),
                                  QStringLiteral("TEXT")};
    const QCommandLineOption newPasswordStdin{
        QStringLiteral("new-password-stdin"),
        QStringLiteral("add, passwd: read the user's new password from standard input.")};
};

QString typedNewPassword(const QString &prompt)
{
    const std::optional<QByteArray> line = readSecretLine(prompt);
    if (!line)
        throw CommandFailure{QStringLiteral("no new password was given on standard input.")};
    return decodedPassword(*line, QStringLiteral("the new password"));
}

// The user's new password, from standard input or typed twice on the terminal.
QString newPassword(const AdminLine &line, const Options &options, const QString &user)
{
    if (line.isSet(options.newPasswordStdin))
        return typedNewPassword({});
    if (!standardInputIsTerminal())
        throw CommandFailure{QStringLiteral("a new password is required: run on a terminal to be "
                                            "asked for it, or give --new-password-stdin.")};
    const QString password = typedNewPassword(QStringLiteral("New password for %1: ").arg(user));
    if (typedNewPassword(QStringLiteral("Retype new password: ")) != password)
        throw CommandFailure{QStringLiteral("the two new passwords typed differ.")};
    return password;
}

QString fieldWords(const QString &field)
{
    if (field == security::fields::UserName)
        return QStringLiteral("the name");
    if (field == security::fields::UserPassword)
        return QStringLiteral("the password");
    return field == security::fields::UserDef1 ? QStringLiteral("--def1")
                                               : QStringLiteral("--def2");
}

// Throws the refusal of a change that was not written.
void requireWritten(const UserChange &change, const QString &name)
{
    switch (change.status) {
    case UserChange::Written:
        return;
    case UserChange::EmptyName:
        throw CommandFailure{QStringLiteral("a user needs a name.")};
    case UserChange::Duplicate:
        throw CommandFailure{QStringLiteral("a user named %1 exists already.").arg(name)};
    case UserChange::Reserved:
        throw CommandFailure{
            QStringLiteral("%1 is the supervisor's logon name; choose another.").arg(name)};
    case UserChange::TooLong:
        throw CommandFailure{QStringLiteral("%1 is too long for the table.")
                                 .arg(fieldWords(change.field))};
    case UserChange::NotFound:
        throw CommandFailure{QStringLiteral("the user %1 is gone.").arg(name)};
    }
}

QString onOff(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

int listUsers(security::EffectiveRights &rights, bool json)
{
    const std::vector<security::UserEntry> users = rights.users();
    if (json) {
        QStringList items;
        for (const security::UserEntry &u : users) {
            items << jsonObject(
                {{QStringLiteral("id"), u.id},
                 {QStringLiteral("name"), u.name},
                 {QStringLiteral("enabled"), u.enabled},
                 {QStringLiteral("admin"), u.admin},
                 {QStringLiteral("def1"), u.def1},
                 {QStringLiteral("def2"), u.def2},
                 {QStringLiteral("last_access"),
                  u.lastAccess.isValid() ? QJsonValue(u.lastAccess.toString(Qt::ISODate))
                                         : QJsonValue()},
                 {QStringLiteral("access_count"),
                  u.accessCount.isNull() ? QJsonValue() : QJsonValue(u.accessCount.toInt())}});
        }
        say(jsonArray(items) + QLatin1Char('\n'));
        return Done;
    }
    QList<QStringList> rows;
    for (const security::UserEntry &u : users) {
        rows << QStringList{QString::number(u.id),
                            u.name,
                            onOff(u.enabled),
                            onOff(u.admin),
                            u.def1,
                            u.def2,
                            u.lastAccess.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                            u.accessCount.isNull() ? QString() : u.accessCount.toString()};
    }
    say(textTable({"ID", "Name", "Enabled", "Admin", "Defined 1", "Defined 2", "Last access",
                   "Count"},
                  rows));
    return Done;
}

int addUser(const AdminLine &line, const Options &options, const QString &alias,
            const QString &name)
{
    SecurityRules::UserFields user;
    user.name = name;
    user.admin = line.isSet(options.admin);
    user.enabled = !line.isSet(options.disabled);
    user.def1 = line.value(options.def1);
    user.def2 = line.value(options.def2);
    user.password = newPassword(line, options, name);
    const UserChange change = SecurityRules(alias).addUser(user);
    requireWritten(change, name);
    say(QStringLiteral("User %1 added with id %2.\n").arg(name).arg(change.userId));
    return Done;
}

// Exactly one of the two, or neither; both is a contradiction.
std::optional<bool> eitherOr(const AdminLine &line, const QCommandLineOption &yes,
                             const QCommandLineOption &no)
{
    if (line.isSet(yes) && line.isSet(no))
        wrongUsage(QStringLiteral("give --%1 or --%2, not both.").arg(yes.names().first(),
                                                                       no.names().first()));
    if (!line.isSet(yes) && !line.isSet(no))
        return std::nullopt;
    return line.isSet(yes);
}

SecurityRules::UserAlteration alteration(const AdminLine &line, const Options &options)
{
    SecurityRules::UserAlteration change;
    change.enabled = eitherOr(line, options.enable, options.disable);
    change.admin = eitherOr(line, options.admin, options.noAdmin);
    if (line.isSet(options.def1))
        change.def1 = line.value(options.def1);
    if (line.isSet(options.def2))
        change.def2 = line.value(options.def2);
    if (!change.enabled && !change.admin && !change.def1 && !change.def2)
        wrongUsage(QStringLiteral("say what to change: --enable, --disable, --admin, --no-admin, "
                                  "--def1 or --def2."));
    return change;
}

int runUser(const AdminLine &line, const Options &options)
{
    const QStringList words = line.words();
    const QString verb = words.value(0);
    const bool takesName = verb == QLatin1String("add") || verb == QLatin1String("set") ||
                           verb == QLatin1String("passwd") || verb == QLatin1String("delete");
    if (!(verb == QLatin1String("list") && words.size() == 1) &&
        !(takesName && words.size() == 2))
        wrongUsage(QStringLiteral("give list, or add, set, passwd or delete with one NAME."));
    const QString name = words.value(1);
    const SecurityRules::UserAlteration change =
        verb == QLatin1String("set") ? alteration(line, options) : SecurityRules::UserAlteration{};
    const QString alias = line.openDatabase();
    security::EffectiveRights rights(alias);
    if (verb == QLatin1String("list"))
        return listUsers(rights, line.json());
    if (verb == QLatin1String("add"))
        return addUser(line, options, alias, name);
    const int userId = userIdNamed(rights, name);
    SecurityRules rules(alias);
    if (verb == QLatin1String("set")) {
        requireWritten(rules.alterUser(userId, change), name);
        say(QStringLiteral("User %1 changed.\n").arg(name));
    } else if (verb == QLatin1String("passwd")) {
        requireWritten(rules.setPassword(userId, newPassword(line, options, name)), name);
        say(QStringLiteral("Password of %1 changed.\n").arg(name));
    } else {
        if (!rules.deleteUser(userId))
            throw CommandFailure{QStringLiteral("the user %1 is gone.").arg(name)};
        say(QStringLiteral("User %1 deleted with his rights; his log rows stay.\n").arg(name));
    }
    return Done;
}

} // namespace

int runUserCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    return runCommand(QStringLiteral("user"), [&app] {
        const Options options;
        AdminLine line(Usage, {options.admin, options.noAdmin, options.disabled, options.enable,
                               options.disable, options.def1, options.def2,
                               options.newPasswordStdin});
        line.parse(app.arguments());
        return runUser(line, options);
    });
}

} // namespace cli
