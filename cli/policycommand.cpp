#include "policycommand.h"

#include "commandkit.h"
#include "masterpassword.h"
#include "rules/audittrail.h"
#include "rules/logonpolicy.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace cli {

namespace {

int count(const QCommandLineParser &parser, const QCommandLineOption &option, int current)
{
    if (!parser.isSet(option))
        return current;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < 0)
        wrongUsage(
            QStringLiteral("--%1 wants a whole number of 0 or more.").arg(option.names().first()));
    return value;
}

void print(const security::LogonPolicy &policy, bool json)
{
    QTextStream out(stdout);
    if (json) {
        const QJsonObject object{{QStringLiteral("lockoutAfter"), policy.lockoutAfter},
                                 {QStringLiteral("lockoutMinutes"), policy.lockoutMinutes},
                                 {QStringLiteral("permanentAfter"), policy.permanentAfter},
                                 {QStringLiteral("logFailed"), policy.logFailed}};
        out << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
        return;
    }
    out << "lockout after:   " << policy.lockoutAfter << " wrong passwords (0: never)\n"
        << "lockout minutes: " << policy.lockoutMinutes << "\n"
        << "permanent after: " << policy.permanentAfter << " lockouts (0: never)\n"
        << "log failed:      " << (policy.logFailed ? "on" : "off") << Qt::endl;
}

} // namespace

int runPolicyCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    return runCommand(QStringLiteral("policy"), [] {
        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Sets and prints the logon policy of a security database. The "
                           "supervisor is never locked out."));
        const DatabaseOptions database;
        database.addTo(parser);
        const QCommandLineOption after{QStringLiteral("lockout-after"),
                                       QStringLiteral("Lock an account after N consecutive wrong "
                                                      "passwords; 0 never locks."),
                                       QStringLiteral("N")};
        const QCommandLineOption minutes{QStringLiteral("lockout-minutes"),
                                         QStringLiteral("How long a lockout lasts."),
                                         QStringLiteral("M")};
        const QCommandLineOption permanent{
            QStringLiteral("permanent-after"),
            QStringLiteral("Lock for good (until unlocked) at the K-th lockout; 0 never."),
            QStringLiteral("K")};
        const QCommandLineOption logFailed{
            QStringLiteral("log-failed"),
            QStringLiteral("Audit failed logons, lockouts and unlocks: on or off."),
            QStringLiteral("on|off")};
        const QCommandLineOption json{QStringLiteral("json"),
                                      QStringLiteral("Print the policy as JSON.")};
        parser.addOptions({after, minutes, permanent, logFailed, json});
        parser.addHelpOption();
        parseArguments(parser);
        if (parser.positionalArguments().size() != 1)
            wrongUsage(QStringLiteral("policy takes no arguments besides its options."));
        const QString flag = parser.value(logFailed);
        if (parser.isSet(logFailed) && flag != QLatin1String("on") && flag != QLatin1String("off"))
            wrongUsage(QStringLiteral("--log-failed wants on or off."));

        const QString alias = database.openDatabase(parser);
        security::AuditTrail::setActor(QStringLiteral("vesksec policy"));
        security::LogonPolicy policy = security::readLogonPolicy(alias);
        const security::LogonPolicy before = policy;
        policy.lockoutAfter = count(parser, after, policy.lockoutAfter);
        policy.lockoutMinutes = count(parser, minutes, policy.lockoutMinutes);
        policy.permanentAfter = count(parser, permanent, policy.permanentAfter);
        if (parser.isSet(logFailed))
            policy.logFailed = flag == QLatin1String("on");
        if (policy != before)
            security::writeLogonPolicy(alias, policy);
        print(policy, parser.isSet(json));
        return 0;
    });
}

} // namespace cli
