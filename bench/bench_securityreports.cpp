// The security reports at the size of a large site: the Usage report of 100,000 log entries in
// the chosen days (out of 120,000), and the Users report of 10,000 users. Each is built the way
// the Reporting window builds it, into the preview, and the process's memory is read afterwards
// with the pages still held, as the desktop holds them.
//
// Targets: Usage < 2 s with the process under 300 MB; Users < 1 s.

#include "reports/securityreports.h"
#include "benchdatabase.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "report/frmgenwn.h"
#include "report/rptdsgn.h"
#include "residentmemory.h"
#include "ui/application.h"

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

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

} // namespace

int main(int argc, char **argv)
{
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

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theWindow.reset();
    return 0;
}
