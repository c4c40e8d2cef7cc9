#include "auditcommand.h"

#include "commandkit.h"
#include "dbe/types.h"
#include "masterpassword.h"
#include "rules/audittrail.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using security::AuditTrail;

namespace cli {

namespace {

int verify(const QString &alias)
{
    const AuditTrail::Verification result = AuditTrail::verify(alias);
    if (!result.intact())
        throw CommandFailure{QStringLiteral("entry %1 breaks the chain: %2.")
                                 .arg(result.firstBad)
                                 .arg(result.problem)};
    QTextStream(stdout) << "The audit trail is intact: " << result.count << " entries, last MAC "
                        << (result.lastMac.isEmpty() ? QStringLiteral("(none)") : result.lastMac)
                        << Qt::endl;
    return 0;
}

void list(const QString &alias, const QDate &from, const QDate &to, bool json)
{
    const QList<AuditTrail::Entry> entries = AuditTrail::entries(alias, from, to);
    QTextStream out(stdout);
    if (json) {
        QJsonArray array;
        for (const AuditTrail::Entry &e : entries)
            array.append(QJsonObject{{QStringLiteral("number"), e.number},
                                     {QStringLiteral("time"), dbe::timestampToText(e.time)},
                                     {QStringLiteral("osUser"), e.osUser},
                                     {QStringLiteral("host"), e.host},
                                     {QStringLiteral("actor"), e.actor},
                                     {QStringLiteral("action"), e.action},
                                     {QStringLiteral("object"), e.object},
                                     {QStringLiteral("change"), e.change},
                                     {QStringLiteral("mac"), e.mac}});
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return;
    }
    for (const AuditTrail::Entry &e : entries)
        out << e.number << '\t' << dbe::timestampToText(e.time) << '\t' << e.osUser << '@' << e.host
            << '\t' << e.actor << '\t' << e.action << '\t' << e.object << '\t' << e.change << '\n';
    out.flush();
}

} // namespace

int runAuditCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    return runCommand(QStringLiteral("audit"), [] {
        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Verifies or lists the audit trail of a security database."));
        const DatabaseOptions database;
        database.addTo(parser);
        const QCommandLineOption from{QStringLiteral("from"),
                                      QStringLiteral("list: first day, YYYY-MM-DD."),
                                      QStringLiteral("DATE")};
        const QCommandLineOption to{QStringLiteral("to"),
                                    QStringLiteral("list: last day, YYYY-MM-DD."),
                                    QStringLiteral("DATE")};
        const QCommandLineOption json{QStringLiteral("json"),
                                      QStringLiteral("list: print the entries as JSON.")};
        parser.addOptions({from, to, json});
        parser.addPositionalArgument(QStringLiteral("verify|list"), QStringLiteral("What to do."));
        parser.addHelpOption();
        parseArguments(parser);
        const QStringList args = parser.positionalArguments(); // "audit", what
        const QString what = args.value(1);
        if (args.size() != 2 || (what != QLatin1String("verify") && what != QLatin1String("list")))
            wrongUsage(QStringLiteral("give verify or list."));
        const QDate first = dayOption(parser, from);
        const QDate last = dayOption(parser, to);
        const QString alias = database.openDatabase(parser);
        if (what == QLatin1String("verify"))
            return verify(alias);
        list(alias, first, last, parser.isSet(json));
        return 0;
    });
}

} // namespace cli
