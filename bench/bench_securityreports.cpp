// The security reports at the size of a large site: the Usage report of 100,000 log entries in
// the chosen days (out of 120,000), and the Users report of 10,000 users. Each is built the way
// the Reporting window builds it, into the preview, and the process's memory is read afterwards
// with the pages still held, as the desktop holds them.
//
// Targets: Usage < 2 s with the process under 300 MB; Users < 1 s.
//
// Then the Usage report of a busy site saved to PDF as `vesksec report --pdf` saves it: 50 users
// with an entry every 15 seconds in the year before those weeks, one month (178,560 entries,
// about 5,252 pages), each run's peak resident memory its own. Targets: the month in 4 s, under
// 250 MB. VESK_BENCH_REPORT_LOG_ROWS sets how many entries that log has (default the month); with
// more, the whole log is saved too: 2000000 is a year (58,824 pages), whose targets are 45 s and
// 250 MB. Each run also says how long building and saving took, and their processor time.

#include "benchdatabase.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "intl/timezone.h"
#include "report/frmgenwn.h"
#include "report/pageexport.h"
#include "report/pagerecorder.h"
#include "report/rptdsgn.h"
#include "reports/securityreports.h"
#include "residentmemory.h"
#include "ui/application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

namespace {

using securityreports::ReportType;

const QString Alias = QStringLiteral("BENCHREPORTS");
const QString Master = QStringLiteral("BenchMaster");
constexpr int Users = 10000;
constexpr int Constants = 200;
constexpr int LogInRange = 100000;
constexpr int LogOutside = 20000;
// The report's days: two weeks in March; the other entries lie in the weeks before.
const QDate FirstDay(2026, 3, 2);
const QDate LastDay(2026, 3, 15);

std::unique_ptr<dbe::Table> openTable(const QString &name)
{
    auto table = std::make_unique<dbe::Table>();
    table->setDatabaseName(Alias);
    table->setTableName(name);
    table->open();
    return table;
}

void fillDatabase()
{
    auto access = openTable(QStringLiteral("Access"));
    auto users = openTable(QStringLiteral("Users"));
    auto log = openTable(QStringLiteral("Log"));
    dbe::Transaction transaction(*dbe::Session::instance().database(Alias));
    for (int c = 1; c <= Constants; ++c) {
        access->append();
        access->setValue(QStringLiteral("Access_Name"), QStringLiteral("RIGHT_%1").arg(c));
        access->post();
    }
    const QDateTime start(FirstDay.addDays(-7), QTime(0, 0));
    for (int u = 1; u <= Users; ++u) {
        users->append();
        users->setValue(QStringLiteral("User_Name"), QStringLiteral("User %1").arg(u));
        users->setValue(QStringLiteral("User_Password"), QStringLiteral("pw%1").arg(u));
        users->setValue(QStringLiteral("User_Def1"), QStringLiteral("Department %1").arg(u % 37));
        users->setValue(QStringLiteral("User_Def2"), QStringLiteral("x%1").arg(u * 7 % 1000));
        users->setValue(QStringLiteral("User_LastAccess"), start.addSecs(u * 61));
        users->setValue(QStringLiteral("User_AccessCount"), u % 500);
        users->setValue(QStringLiteral("User_Enabled"), u % 3 != 0);
        users->setValue(QStringLiteral("User_Admin"), u % 50 == 0);
        users->post();
    }
    // Entries a few seconds apart: the first week before the range, then the range. Every
    // tenth is a logon, and a few belong to the supervisor or to deleted constants.
    const int total = LogInRange + LogOutside;
    const qint64 rangeSeconds = qint64(FirstDay.daysTo(LastDay) + 1) * 86400;
    for (int i = 0; i < total; ++i) {
        const QDateTime when =
            i < LogOutside ? start.addSecs(qint64(i) * 7 * 86400 / LogOutside)
                           : QDateTime(FirstDay, QTime(0, 0))
                                 .addSecs(qint64(i - LogOutside) * rangeSeconds / LogInRange);
        log->append();
        log->setValue(QStringLiteral("Access_Date"), when);
        log->setValue(QStringLiteral("User_ID"), i % 997 == 0 ? 0 : i % Users + 1);
        if (i % 10 != 0)
            log->setValue(QStringLiteral("Access_ID"), i % (Constants + 5) + 1);
        log->post();
    }
    transaction.commit();
}

struct Window {
    TFormGenWin preview;
    securityreports::SecurityReports reports;

    Window()
    {
        preview.SetOptions({foShowDialog});
        preview.resize(567, 330);
        preview.show();
        reports.SetAliasName(Alias);
        for (int i = 0; i < securityreports::ReportTypeCount; ++i)
            reports.design(ReportType(i))->SetFormComponent(&preview);
    }
};

// Made on first use and let go before the application object goes.
std::unique_ptr<Window> theWindow;

Window &window()
{
    if (!theWindow)
        theWindow = std::make_unique<Window>();
    return *theWindow;
}

void buildReport(benchmark::State &state, ReportType type)
{
    Window &w = window();
    for (auto _ : state) {
        w.reports.Build(type, [](TReportDesign &design) { design.Execute(); }, {FirstDay, LastDay});
        benchmark::DoNotOptimize(w.preview.PageCount());
    }
    const auto [now, peak] = residentMegabytes();
    state.counters["pages"] = w.preview.PageCount();
    state.counters["rss_MB"] = now;
    state.counters["peak_rss_MB"] = peak;
}

void BM_UsageReport100kEntries(benchmark::State &state)
{
    buildReport(state, ReportType::Usage);
}
BENCHMARK(BM_UsageReport100kEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

// The engine's share of the Usage report: the same walk over the range with the calculated
// fields filled, without laying anything out.
void BM_UsageWalkOnly(benchmark::State &state)
{
    Window &w = window();
    int rows = 0;
    for (auto _ : state) {
        rows = 0;
        w.reports.Build(ReportType::Usage,
                        [&rows](TReportDesign &design) {
                            dbe::DataSet *log = design.DataSet();
                            for (log->first(); !log->eof(); log->next())
                                ++rows;
                        },
                        {FirstDay, LastDay});
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_UsageWalkOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UsersReport10kUsers(benchmark::State &state)
{
    buildReport(state, ReportType::Users);
}
BENCHMARK(BM_UsersReport10kUsers)->Unit(benchmark::kMillisecond)->Iterations(3);

// The busy site's log: 50 users, an entry every 15 seconds from New Year's Day of the year
// before the other entries (2,000,000 end in mid-December).
constexpr int BusyUsers = 50;
constexpr qint64 BusySpacingSeconds = 15;
const QDate BusyFirstDay(2025, 1, 1);
constexpr int MonthRows = 31 * 86400 / BusySpacingSeconds;

int busyLogRows()
{
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue("VESK_BENCH_REPORT_LOG_ROWS", &ok);
    return ok && rows > 0 ? rows : MonthRows;
}

void fillBusyLog(int rows)
{
    auto log = openTable(QStringLiteral("Log"));
    dbe::Transaction transaction(*dbe::Session::instance().database(Alias));
    const QDateTime start(BusyFirstDay, QTime(0, 0));
    for (int i = 0; i < rows; ++i) {
        log->append();
        log->setValue(QStringLiteral("Access_Date"), start.addSecs(i * BusySpacingSeconds));
        log->setValue(QStringLiteral("User_ID"), i % BusyUsers + 1);
        if (i % 20 != 0)
            log->setValue(QStringLiteral("Access_ID"), i % Constants + 1);
        log->post();
    }
    transaction.commit();
}

struct PdfRun {
    double seconds = -1;
    double peakMb = -1;
    int pages = 0;
};

std::map<std::string, PdfRun> pdfRuns;

// VESK_BENCH_REPORT_KEEP_PDF names a folder where each run's PDF is kept (as "<run>.pdf"), to
// compare the output of two builds.
void keepPdf(const QString &pdf, const std::string &name)
{
    const QString folder = qEnvironmentVariable("VESK_BENCH_REPORT_KEEP_PDF");
    if (folder.isEmpty())
        return;
    QString target = folder + QLatin1Char('/') + QString::fromStdString(name) +
                     QStringLiteral(".pdf");
    target.replace(QLatin1Char(' '), QLatin1Char('-'));
    QFile::remove(target);
    if (!QFile::copy(pdf, target))
        std::fprintf(stderr, "cannot keep the PDF as %s\n", qPrintable(target));
}

// The Usage report of `days` on the busy log into headless pages and on to a PDF file.
void usageToPdf(benchmark::State &state, const std::string &name, securityreports::DayRange days)
{
    securityreports::SecurityReports reports;
    reports.SetAliasName(Alias);
    QTemporaryDir dir;
    PdfRun run;
    for (auto _ : state) {
        resetPeakResident();
        QElapsedTimer clock;
        clock.start();
        report::PageRecorder pages;
        const std::clock_t cpu0 = std::clock();
        reports.Build(
            ReportType::Usage, [&pages](TReportDesign &design) { design.BuildPages(pages); }, days);
        const double built = double(clock.nsecsElapsed()) / 1e9;
        const std::clock_t cpu1 = std::clock();
        report::exportPdf(pages, dir.filePath(QStringLiteral("usage.pdf")));
        const std::clock_t cpu2 = std::clock();
        std::fprintf(stderr, "%s: built in %.1f s (cpu %.1f), saved in %.1f s (cpu %.1f)\n",
                     name.c_str(), built, double(cpu1 - cpu0) / CLOCKS_PER_SEC,
                     double(clock.nsecsElapsed()) / 1e9 - built,
                     double(cpu2 - cpu1) / CLOCKS_PER_SEC);
        run.seconds = double(clock.nsecsElapsed()) / 1e9;
        run.pages = pages.PageCount();
        keepPdf(dir.filePath(QStringLiteral("usage.pdf")), name);
        state.SetIterationTime(run.seconds);
    }
    run.peakMb = residentMegabytes().second;
    pdfRuns[name] = run;
    state.counters["pages"] = run.pages;
    state.counters["peak_rss_MB"] = run.peakMb;
}

void BM_UsageMonthToPdf(benchmark::State &state)
{
    usageToPdf(state, "month", {BusyFirstDay, BusyFirstDay.addDays(30)});
}

void BM_UsageWholeLogToPdf(benchmark::State &state)
{
    const QDateTime last = QDateTime(BusyFirstDay, QTime(0, 0))
                               .addSecs(qint64(busyLogRows() - 1) * BusySpacingSeconds);
    usageToPdf(state, "whole log", {BusyFirstDay, last.date()});
}

void printTargets(int rows)
{
    std::printf("\n%-50s %12s %10s %6s\n", "Usage report to PDF", "measured", "target", "met");
    const auto line = [](const std::string &label, double value, double target, const char *unit) {
        if (value < 0) {
            std::printf("%-50s %12s %7.0f %s %6s\n", label.c_str(), "failed", target, unit, "no");
            return;
        }
        std::printf("%-50s %9.1f %s %7.0f %s %6s\n", label.c_str(), value, unit, target, unit,
                    value <= target ? "yes" : "NO");
    };
    for (const auto &[name, target] :
         std::map<std::string, double>{{"month", 4.0}, {"whole log", 45.0}}) {
        const auto found = pdfRuns.find(name);
        if (found == pdfRuns.end())
            continue;
        const PdfRun &run = found->second;
        const std::string label =
            name + " (" + std::to_string(run.pages) + " pages" +
            (name == "whole log" ? ", " + std::to_string(rows) + " entries" : std::string()) + ")";
        line(label + ": time", run.seconds, target, " s");
        line(label + ": peak resident", run.peakMb, 250, "MB");
    }
}

} // namespace

int main(int argc, char **argv)
{
    intl::readLocalTimeZoneOnce();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    ui::Application::installFontSubstitutions();
    BenchDatabase database(Alias, Master);
    if (!database.create())
        return 1;
    std::fprintf(stderr, "filling the database...\n");
    fillDatabase();
    const auto [now, peak] = residentMegabytes();
    std::fprintf(stderr, "filled; resident %.0f MB (peak %.0f MB)\n", now, peak);

    const int rows = busyLogRows();
    std::fprintf(stderr, "filling the busy log with %d entries...\n", rows);
    fillBusyLog(rows);
    benchmark::RegisterBenchmark("BM_UsageMonthToPdf", BM_UsageMonthToPdf)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(1);
    if (rows > MonthRows)
        benchmark::RegisterBenchmark("BM_UsageWholeLogToPdf", BM_UsageWholeLogToPdf)
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(1);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theWindow.reset();
    printTargets(rows);
    return 0;
}
