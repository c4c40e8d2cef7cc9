#include "reportcommand.h"

#include "reports/securityreports.h"
#include "dbe/error.h"
#include "commandkit.h"
#include "masterpassword.h"
#include "report/pageexport.h"
#include "report/pageprint.h"
#include "report/pagerecorder.h"
#include "report/rptdsgn.h"
#include "ui/application.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>
#include <algorithm>

using securityreports::ReportType;

namespace cli {

namespace {

constexpr int DefaultPngDpi = 150;

struct TypeName {
    const char *name;
    ReportType type;
};

const TypeName TypeNames[] = {
    {"access", ReportType::AccessConstants},
    {"groups", ReportType::Groups},
    {"usage", ReportType::Usage},
    {"users", ReportType::Users},
    {"useraccess", ReportType::UserAccess},
};

int fail(const QString &message)
{
    QTextStream(stderr) << "vesksec report: " << message << Qt::endl;
    return 1;
}

std::optional<ReportType> reportTypeNamed(const QString &name)
{
    for (const TypeName &entry : TypeNames) {
        if (name == QLatin1String(entry.name))
            return entry.type;
    }
    return std::nullopt;
}

int writePdf(const report::PageRecorder &pages, const QString &file)
{
    report::exportPdf(pages, file);
    QTextStream(stdout) << pages.PageCount() << (pages.PageCount() == 1 ? " page" : " pages")
                        << " written to " << file << Qt::endl;
    return 0;
}

int writePngs(const report::PageRecorder &pages, const QString &folder, const QString &baseName,
              int dotsPerInch)
{
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot create the folder %1.").arg(folder));
    // Every page numbered, a one-page report too, so that scripts find the files the same way.
    const int digits = std::max(2, int(QString::number(pages.PageCount()).size()));
    for (int page = 1; page <= pages.PageCount(); ++page) {
        const QString file = QDir(folder).filePath(
            QStringLiteral("%1-%2.png").arg(baseName).arg(page, digits, 10, QLatin1Char('0')));
        report::exportPng(pages, file, dotsPerInch, {page, page});
        QTextStream(stdout) << file << Qt::endl;
    }
    return 0;
}

int print(const report::PageRecorder &pages, const QString &printerName, int copies,
          const QString &title)
{
    const QString name = printerName.isEmpty() ? QPrinterInfo::defaultPrinterName() : printerName;
    if (name.isEmpty())
        return fail(QStringLiteral("no printer was named and there is no default printer."));
    if (QPrinterInfo::printerInfo(name).isNull())
        return fail(QStringLiteral("there is no printer named %1.").arg(name));
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(name);
    printer.setDocName(title);
    printer.setPageSize(QPageSize(QSizeF(std::min(pages.PageWidth(), pages.PageHeight()),
                                         std::max(pages.PageWidth(), pages.PageHeight())),
                                  QPageSize::Inch));
    printer.setCopyCount(copies);
    printer.setCollateCopies(true);
    const report::PrintResult result = report::printPages(pages, printer, {1, pages.PageCount()});
    if (!result.sent)
        return fail(result.error.isEmpty() ? QStringLiteral("the job was not printed.")
                                           : result.error);
    QTextStream(stdout) << pages.PageCount() << (pages.PageCount() == 1 ? " page" : " pages")
                        << " sent to " << name << Qt::endl;
    return 0;
}

} // namespace

int runReportCommand(int argc, char **argv)
{
    // Pages are painted with fonts, which takes a GUI application, but nothing is shown: the
    // offscreen platform works without a display and never touches a user's screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("vesksec"));
    // The report's "Arial" must measure the same here as in the desktop.
    ui::Application::installFontSubstitutions();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a security report to a PDF file, PNG files or a printer.\n\n"
        "The master password is read from standard input with --password-stdin, else taken from "
        "VESK_MASTER_PASSWORD, else asked for on the terminal without echo."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("report"), QStringLiteral("The command."));
    parser.addPositionalArgument(QStringLiteral("printer"),
                                 QStringLiteral("With --print: the printer (else the default)."),
                                 QStringLiteral("[PRINTER]"));
    const DatabaseOptions database;
    const QCommandLineOption typeOption(
        QStringLiteral("type"),
        QStringLiteral("The report: access, groups, usage, users or useraccess."),
        QStringLiteral("TYPE"));
    const QCommandLineOption fromOption(QStringLiteral("from"),
                                        QStringLiteral("usage: the first day (default today)."),
                                        QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption toOption(QStringLiteral("to"),
                                      QStringLiteral("usage: the last day (default today)."),
                                      QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption pdfOption(QStringLiteral("pdf"),
                                       QStringLiteral("Write the report to this PDF file."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption pngOption(
        QStringLiteral("png"),
        QStringLiteral("Write one PNG file per page (TYPE-01.png, ...) into this folder."),
        QStringLiteral("DIR"));
    const QCommandLineOption dpiOption(
        QStringLiteral("dpi"),
        QStringLiteral("With --png: pixels per inch (default %1).").arg(DefaultPngDpi),
        QStringLiteral("N"));
    const QCommandLineOption printOption(QStringLiteral("print"),
                                         QStringLiteral("Print the report (on PRINTER if given)."));
    const QCommandLineOption copiesOption(QStringLiteral("copies"),
                                          QStringLiteral("With --print: copies (default 1)."),
                                          QStringLiteral("N"));
    database.addTo(parser);
    parser.addOptions({typeOption, fromOption, toOption, pdfOption, pngOption, dpiOption,
                       printOption, copiesOption});
    parser.process(app);

    const QString alias = parser.value(database.alias);
    if (alias.isEmpty())
        return fail(QStringLiteral("--alias is required."));
    const std::optional<ReportType> type = reportTypeNamed(parser.value(typeOption));
    if (!type)
        return fail(QStringLiteral("--type must be access, groups, usage, users or useraccess."));

    const int destinations = int(parser.isSet(pdfOption)) + int(parser.isSet(pngOption)) +
                             int(parser.isSet(printOption));
    if (destinations != 1)
        return fail(QStringLiteral("give exactly one of --pdf FILE, --png DIR and --print."));
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > (parser.isSet(printOption) ? 2 : 1))
        return fail(QStringLiteral("unexpected argument '%1'.").arg(positional.last()));
    if (parser.isSet(copiesOption) && !parser.isSet(printOption))
        return fail(QStringLiteral("--copies goes with --print."));
    if (parser.isSet(dpiOption) && !parser.isSet(pngOption))
        return fail(QStringLiteral("--dpi goes with --png."));

    securityreports::DayRange days{QDate::currentDate(), QDate::currentDate()};
    if (parser.isSet(fromOption) || parser.isSet(toOption)) {
        if (*type != ReportType::Usage)
            return fail(QStringLiteral("--from and --to go with --type usage."));
        for (const auto &[option, day] :
             {std::pair{&fromOption, &days.first}, std::pair{&toOption, &days.last}}) {
            if (!parser.isSet(*option))
                continue;
            *day = QDate::fromString(parser.value(*option), Qt::ISODate);
            if (!day->isValid())
                return fail(QStringLiteral("'%1' is not a date of the form YYYY-MM-DD.")
                                .arg(parser.value(*option)));
        }
        if (const std::optional<QString> refusal = securityreports::dayRangeRefusal(days))
            return fail(*refusal);
    }
    int copies = 1;
    if (parser.isSet(copiesOption)) {
        bool ok = false;
        copies = parser.value(copiesOption).toInt(&ok);
        if (!ok || copies < 1 || copies > 999)
            return fail(QStringLiteral("--copies must be a number from 1 to 999."));
    }
    int dotsPerInch = DefaultPngDpi;
    if (parser.isSet(dpiOption)) {
        bool ok = false;
        dotsPerInch = parser.value(dpiOption).toInt(&ok);
        if (!ok || dotsPerInch < 10 || dotsPerInch > 1200)
            return fail(QStringLiteral("--dpi must be a number from 10 to 1200."));
    }

    securityreports::SecurityReports reports;
    reports.SetAliasName(alias);
    report::PageRecorder pages;
    try {
        database.openDatabase(parser);
        reports.Build(
            *type, [&pages](TReportDesign &design) { design.BuildPages(pages); }, days);
    } catch (const CommandFailure &refusal) {
        return fail(refusal.text);
    } catch (const dbe::Error &error) {
        return fail(error.text());
    }

    try {
        if (parser.isSet(pdfOption))
            return writePdf(pages, parser.value(pdfOption));
        if (parser.isSet(pngOption))
            return writePngs(pages, parser.value(pngOption), parser.value(typeOption),
                             dotsPerInch);
    } catch (const dbe::Error &error) {
        return fail(error.text());
    }
    return print(pages, positional.value(1), copies, reports.design(*type)->Title());
}

} // namespace cli
