#include "logcommand.h"

#include "commandkit.h"
#include "logarchive/logcsv.h"
#include "logarchive/logpurge.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace cli {

int runLogCommand(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vesksec"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports the activity log as CSV, or purges its old entries.\n\n"
        "  log export --alias NAME [--from YYYY-MM-DD] [--to YYYY-MM-DD] --csv FILE\n"
        "  log purge  --alias NAME --before YYYY-MM-DD (--archive FILE | --discard)\n\n"
        "purge removes the entries dated before --before; --archive appends them to FILE\n"
        "(created with a header line when missing) and syncs it before they are deleted."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("log"), QStringLiteral("The command."));
    parser.addPositionalArgument(QStringLiteral("action"), QStringLiteral("export or purge."));
    const DatabaseOptions database;
    const QCommandLineOption from(QStringLiteral("from"),
                                  QStringLiteral("export: the first day (default: the first entry)."),
                                  QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("export: the last day (default: the last entry)."),
                                QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("export: the CSV file."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption before(QStringLiteral("before"),
                                    QStringLiteral("purge: the first day kept."),
                                    QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption archive(QStringLiteral("archive"),
                                     QStringLiteral("purge: the CSV file the entries go to."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption discard(QStringLiteral("discard"),
                                     QStringLiteral("purge: delete the entries without a copy."));
    database.addTo(parser);
    parser.addOptions({from, to, csv, before, archive, discard});
    parser.process(app);

    const QString action = parser.positionalArguments().value(1);
    return runCommand(QStringLiteral("log"), [&]() -> int {
        if (parser.positionalArguments().size() > 2)
            wrongUsage(QStringLiteral("unexpected argument '%1'.")
                           .arg(parser.positionalArguments().last()));
        if (action == QLatin1String("export")) {
            if (!parser.isSet(csv))
                wrongUsage(QStringLiteral("export needs --csv FILE."));
            if (parser.isSet(before) || parser.isSet(archive) || parser.isSet(discard))
                wrongUsage(QStringLiteral("--before, --archive and --discard go with purge."));
            logarchive::Period period;
            if (parser.isSet(from))
                period.from = dayOption(parser, from);
            if (parser.isSet(to))
                period.to = dayOption(parser, to);
            if (period.from && period.to && *period.from > *period.to)
                wrongUsage(QStringLiteral("--from is after --to."));
            const QString alias = database.openDatabase(parser);
            const qint64 written = logarchive::exportLogCsv(alias, parser.value(csv), period);
            QTextStream(stdout) << written << (written == 1 ? " entry" : " entries")
                                << " written to " << parser.value(csv) << Qt::endl;
            return 0;
        }
        if (action == QLatin1String("purge")) {
            if (!parser.isSet(before))
                wrongUsage(QStringLiteral("purge needs --before YYYY-MM-DD."));
            if (parser.isSet(archive) == parser.isSet(discard))
                wrongUsage(QStringLiteral("purge needs one of --archive FILE and --discard."));
            if (parser.isSet(from) || parser.isSet(to) || parser.isSet(csv))
                wrongUsage(QStringLiteral("--from, --to and --csv go with export."));
            const QDate day = dayOption(parser, before);
            const QString alias = database.openDatabase(parser);
            const logarchive::PurgeResult result =
                logarchive::purgeLog(alias, day, parser.value(archive));
            QTextStream out(stdout);
            if (result.unpurgedDropped > 0)
                out << result.unpurgedDropped
                    << " entries of a purge that was stopped were taken back from the archive."
                    << Qt::endl;
            if (parser.isSet(archive))
                out << result.archived << " entries archived to " << parser.value(archive)
                    << "; ";
            out << result.deleted << " entries deleted from the log." << Qt::endl;
            return 0;
        }
        wrongUsage(action.isEmpty() ? QStringLiteral("log needs export or purge; see log --help.")
                                    : QStringLiteral("unknown log action '%1'.").arg(action));
    });
}

} // namespace cli
