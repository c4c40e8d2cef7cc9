// What the administrator waits for on the security database of a large site, in real windows:
// 10,000 users, 1,000 access constants, 200 groups, 50,000 rights (three constants and two
// groups per user) and an activity log of 100,000 entries (VESK_BENCH_LOG_ROWS entries when
// set: 2000000 is a year of a busy site at 15-second spacing), in SQLCipher files, or with
// --postgres in a schema of a private PostgreSQL cluster.
//
// Twenty million entries take minutes to write: with VESK_BENCH_DATA_DIR set, the SQLCipher files
// are kept in that directory, and a later run with the same log size measures on them as they are.
//
// The editor and View Log are opened from a desktop with the database open, as the
// administrator opens them. Measured, each against its target:
//   the setup editor opened until it shows the first user's rights       < 500 ms
//   a user picked in the editor until his rights are shown (first, middle and last user) < 50 ms
//   View Log opened, its newest entries on show                          < 50 ms
//   Ctrl+End in View Log from the first row; a drag to the log's middle  < 50 ms
//   the desktop's resident memory with those windows open                < 150 MB
//
// The memory is read in a process of its own (this program again, with --memory-probe), so that
// building the database does not count: it opens the desktop on the database, the setup editor
// with the last user picked and View Log at its last row, then reports VmRSS and VmHWM. It also
// times the editor and View Log opened for the first time in that process, as a desktop just
// started opens them.

#include "admin/admnunt.h"
#include "admin/vwlogunt.h"
#include "benchdatabase.h"
#include "dbe/backend.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "residentmemory.h"
#include "rules/schema.h"
#include "setup/frmsecmn.h"
#include "ui/application.h"
#include "ui/datasetmodel.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace security::fields;

const QString Alias = QStringLiteral("BENCHLARGE");
const QString Master = QStringLiteral("BenchMaster");
constexpr int Users = 10000;
constexpr int Constants = 1000;
constexpr int Groups = 200;
constexpr int ConstantsPerGroup = 10;
constexpr int DirectPerUser = 3;
constexpr int GroupsPerUser = 2;
constexpr int RightsPerUser = DirectPerUser + GroupsPerUser;
// The log's entries: VESK_BENCH_LOG_ROWS, else a hundred thousand.
int logRowsWanted()
{
    bool ok = false;
    const int rows = qEnvironmentVariableIntValue("VESK_BENCH_LOG_ROWS", &ok);
    return ok && rows > 0 ? rows : 100000;
}
const int LogRows = logRowsWanted();
const QDateTime LogStart(QDate(2026, 1, 5), QTime(7, 0));

void fillLog();

void fillDatabase()
{
    const BenchTables tables(Alias);
    auto &program = tables.program;
    auto &access = tables.access;
    auto &groups = tables.groups;
    auto &members = tables.members;
    auto &users = tables.users;
    auto &rights = tables.rights;
    dbe::Transaction transaction(*dbe::Session::instance().database(Alias));

    appendRow(*program, {{SecurityLabel, QStringLiteral("Large site")},
                         {Enabled, true},
                         {LogEnabled, true},
                         {Label1, QStringLiteral("Department")},
                         {Label2, QStringLiteral("Room")}});
    for (int c = 1; c <= Constants; ++c)
        appendRow(*access,
                  {{AccessName, QStringLiteral("RIGHT_%1").arg(c, 4, 10, QLatin1Char('0'))}});
    for (int g = 1; g <= Groups; ++g) {
        appendRow(*groups,
                  {{GroupName, QStringLiteral("Group %1").arg(g, 3, 10, QLatin1Char('0'))}});
        for (int k = 0; k < ConstantsPerGroup; ++k)
            appendRow(*members, {{GroupId, g},
                                 {AccessId, ((g - 1) * ConstantsPerGroup + k) % Constants + 1}});
    }
    for (int u = 1; u <= Users; ++u) {
        appendRow(*users, {{UserName, QStringLiteral("User %1").arg(u, 5, 10, QLatin1Char('0'))},
                           {UserPassword, QStringLiteral("pw%1").arg(u)},
                           {UserDef1, QStringLiteral("Department %1").arg(u % 37)},
                           {UserAccessCount, u % 500},
                           {UserEnabled, true},
                           {UserAdmin, u % 50 == 0}});
        // Distinct by construction: 0, 331 and 662 apart among 1,000 constants; 0 and 97 apart
        // among 200 groups.
        for (int k = 0; k < DirectPerUser; ++k)
            appendRow(*rights, {{UserId, u},
                                {AccessId, (u * 7 + k * 331) % Constants + 1},
                                {RightType, security::RightConstant}});
        for (int k = 0; k < GroupsPerUser; ++k)
            appendRow(*rights, {{UserId, u},
                                {AccessId, (u + k * 97) % Groups + 1},
                                {RightType, security::RightGroup}});
    }
    transaction.commit();
    fillLog();
}

// Entries half a minute apart; every tenth a logon, a few by the supervisor or by users and
// constants deleted since. Written by prepared statements of a few hundred rows each, a million
// rows per transaction: the cursor's read-back of every row would make twenty million take an
// hour, and a server's round trip per row most of one.
void fillLog()
{
    dbe::Database &database = *dbe::Session::instance().database(Alias);
    const std::unique_ptr<dbe::Table> open = openBenchTable(Alias, security::tables::Log);
    dbe::Backend &backend = database.backend();
    const dbe::TableHandle log = backend.openTable(security::tables::Log);
    const auto insertOf = [&](int rows) {
        QStringList values;
        for (int row = 0; row < rows; ++row)
            values.append(QStringLiteral("(%1, %2, %3)")
                              .arg(backend.placeholder(3 * row + 1),
                                   backend.placeholder(3 * row + 2),
                                   backend.placeholder(3 * row + 3)));
        const QString sql = QStringLiteral("INSERT INTO %1 (%2, %3, %4) VALUES %5")
                                .arg(log.sqlName, log.columns[0], log.columns[1], log.columns[3],
                                     values.join(QStringLiteral(", ")));
        return backend.prepare(sql, log.canonicalName);
    };
    constexpr int Batch = 250;
    const std::unique_ptr<dbe::Statement> batch = insertOf(Batch);
    const std::unique_ptr<dbe::Statement> single = insertOf(1);
    const auto bindEntry = [](dbe::Statement &insert, int row, int i) {
        const qint64 user = i % 997 == 0 ? 0 : (qint64(i) * 7919) % (Users + 20) + 1;
        insert.bind(3 * row + 1, dbe::timestampToText(LogStart.addSecs(qint64(i) * 30)));
        insert.bind(3 * row + 2, user);
        insert.bind(3 * row + 3,
                    i % 10 == 0 ? QVariant() : QVariant((qint64(i) * 13) % (Constants + 5) + 1));
    };
    constexpr int PerTransaction = 1000000;
    for (int from = 0; from < LogRows; from += PerTransaction) {
        dbe::Transaction transaction(database);
        const int to = std::min(LogRows, from + PerTransaction);
        int i = from;
        for (; i + Batch <= to; i += Batch) {
            batch->reset();
            for (int row = 0; row < Batch; ++row)
                bindEntry(*batch, row, i + row);
            batch->step();
        }
        for (; i < to; ++i) {
            single->reset();
            bindEntry(*single, 0, i);
            single->step();
        }
        transaction.commit();
    }
}

// Lets the window take its events and paints it, as the event loop does before the user sees
// the result. The paint is forced: a window asks for its repaint on a timer of the platform,
// which an event loop run at once would not see go off, and the grid reads its rows as it paints.
void settle(QWidget *window)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    window->repaint();
}

void pressKey(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(widget, &release);
}

template <typename T> T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

// The desktop with the database open, from which the administrator opens the editor and View
// Log; made in main() once the database is filled.
TFormAdmin *Desktop = nullptr;

// The setup editor, shown as the desktop shows it (without the modal loop).
std::unique_ptr<TFormMain> openEditor(QWidget *owner = Desktop)
{
    auto editor = std::make_unique<TFormMain>(owner);
    editor->SetAliasName(Alias);
    editor->show();
    settle(editor.get());
    return editor;
}

// Picks the selector's line as a person would; answers how many rights the list then shows.
int pickUser(TFormMain &editor, int line)
{
    auto *selector = child<QComboBox>(&editor, "dblkUserName");
    selector->setCurrentIndex(line);
    Q_EMIT selector->activated(line);
    settle(&editor);
    return child<QListWidget>(&editor, "lbUsrAccess")->count();
}

void BM_SetupEditorOpenToFirstUser(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<TFormMain> editor = openEditor();
        const int rights = pickUser(*editor, 0);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (rights != RightsPerUser) {
            state.SkipWithError("the first user's rights are not shown");
            break;
        }
        if (child<QComboBox>(editor.get(), "dblkUserName")->count() != Users) {
            state.SkipWithError("the selector does not list every user");
            break;
        }
    }
}

// Argument: where in the selector the user stands, in per cent of the list.
void BM_SetupEditorPickUser(benchmark::State &state)
{
    std::unique_ptr<TFormMain> editor = openEditor();
    const int line = std::min(Users - 1, int(state.range(0) * Users / 100));
    for (auto _ : state) {
        // From another user each time, so the list really changes.
        pickUser(*editor, line == 0 ? 1 : 0);
        QElapsedTimer clock;
        clock.start();
        const int rights = pickUser(*editor, line);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (rights != RightsPerUser) {
            state.SkipWithError("the user's rights are not shown");
            break;
        }
    }
}

std::unique_ptr<TfrmViewLog> openViewLog(QWidget *owner = Desktop)
{
    auto viewer = std::make_unique<TfrmViewLog>(owner);
    viewer->tblUsers->setDatabaseName(Alias);
    viewer->tblAccess->setDatabaseName(Alias);
    viewer->tblLog->setDatabaseName(Alias);
    viewer->show();
    settle(viewer.get());
    return viewer;
}

// The grid's current row, and whether its text is the entry that row should show.
bool showsEntry(TfrmViewLog &viewer, int row)
{
    // The entry the grid marks as current, as the grid shows it (its window's row when it
    // holds one).
    ui::WindowedTableView *grid = viewer.DBGrid1;
    if (grid->currentSourceRow() != row)
        return false;
    // In the grid's own format of dates, which follows the user's intl settings.
    return grid->currentIndex().siblingAtColumn(0).data().toString() ==
           ui::DataSetModel::displayText(dbe::FieldType::Timestamp,
                                         LogStart.addSecs(qint64(row) * 30));
}

void BM_ViewLogOpen(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<TfrmViewLog> viewer = openViewLog();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["rows_read"] = viewer->dsLog->rowsRead();
        if (viewer->dsLog->rowCount() != LogRows || !showsEntry(*viewer, LogRows - 1)) {
            state.SkipWithError("View Log does not open at the newest of all entries");
            break;
        }
    }
}

void BM_ViewLogCtrlEnd(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<TfrmViewLog> viewer = openViewLog();
        ui::WindowedTableView *grid = viewer->DBGrid1;
        grid->setFocus();
        pressKey(grid, Qt::Key_Home, Qt::ControlModifier);
        settle(viewer.get());
        // The grid read the newest rows to open at them; forgetting them makes the jump read
        // the end of the log afresh, as it would after a long scroll.
        viewer->dsLog->reload();
        grid->setCurrentSourceRow(0);
        settle(viewer.get());
        if (grid->sourceRowAt(0) != 0) {
            state.SkipWithError("the grid is not at its first row");
            break;
        }
        const int rowsBefore = viewer->dsLog->rowsRead();
        QElapsedTimer clock;
        clock.start();
        pressKey(grid, Qt::Key_End, Qt::ControlModifier);
        settle(viewer.get());
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["rows_read"] = viewer->dsLog->rowsRead() - rowsBefore;
        if (!showsEntry(*viewer, LogRows - 1)) {
            state.SkipWithError("Ctrl+End does not reach the newest entry");
            break;
        }
    }
}

// A drag of the scroll bar's thumb to the middle: rows no window has shown yet.
void BM_ViewLogScrollToMiddle(benchmark::State &state)
{
    for (auto _ : state) {
        std::unique_ptr<TfrmViewLog> viewer = openViewLog();
        QScrollBar *bar = viewer->DBGrid1->verticalScrollBar();
        const int rowsBefore = viewer->dsLog->rowsRead();
        QElapsedTimer clock;
        clock.start();
        bar->setValue(bar->maximum() / 2);
        settle(viewer.get());
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["rows_read"] = viewer->dsLog->rowsRead() - rowsBefore;
        ui::WindowedTableView *grid = viewer->DBGrid1;
        const int top = grid->sourceRowAt(0);
        // What the grid paints at its top, not merely what the model would give.
        const QString shown =
            grid->model()->index(grid->rowAt(0), 0).data().toString();
        if (top < LogRows / 3 || shown.isEmpty()) {
            state.SkipWithError("the middle of the log is not shown");
            break;
        }
    }
}

BENCHMARK(BM_SetupEditorOpenToFirstUser)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_SetupEditorPickUser)
    ->ArgName("percent")
    ->Arg(0)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(3);
BENCHMARK(BM_ViewLogOpen)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_ViewLogCtrlEnd)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_ViewLogScrollToMiddle)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

// The desktop as an administrator has it open: the main window on the database, the setup
// editor on the last user, View Log at its newest entry. The editor and View Log open here as
// in a desktop just started, whose process has not yet opened their table files. Prints
// "rss <MB> peak <MB> editor <ms> viewlog <ms>".
int memoryProbe(const QString &dataDir)
{
    QTemporaryDir configDir;
    qputenv("VESK_DBE_CONFIG", (configDir.path() + QStringLiteral("/dbe.ini")).toLocal8Bit());
    dbe::Session &session = dbe::Session::instance();
    session.reloadConfig();
    session.addStandardAlias(Alias, dataDir);
    session.addPassword(Master);

    TFormAdmin desktop;
    desktop.show();
    desktop.OpenSecurity(Alias);
    settle(&desktop);
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<TFormMain> editor = openEditor(&desktop);
    pickUser(*editor, 0);
    const double editorMs = double(clock.nsecsElapsed()) / 1e6;
    const int rights = pickUser(*editor, Users - 1);
    clock.restart();
    std::unique_ptr<TfrmViewLog> viewer = openViewLog(&desktop);
    const double viewLogMs = double(clock.nsecsElapsed()) / 1e6;
    viewer->DBGrid1->setFocus();
    pressKey(viewer->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    settle(viewer.get());
    if (rights != RightsPerUser || !showsEntry(*viewer, LogRows - 1)) {
        std::fprintf(stderr, "the probe's windows do not show what they should\n");
        return 1;
    }
    if (const QByteArray dir = qgetenv("VESK_SCREENSHOT_DIR"); !dir.isEmpty()) {
        editor->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/largedb-setup.png"));
        viewer->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/largedb-viewlog.png"));
    }
    const auto [now, peak] = residentMegabytes();
    std::printf("rss %.1f peak %.1f editor %.1f viewlog %.1f\n", now, peak, editorMs, viewLogMs);
    return 0;
}

struct ProbeResult {
    double residentMb = -1;
    double peakMb = -1;
    double editorMs = -1;
    double viewLogMs = -1;
};

// Runs the probe on the benchmark's database; all -1 when it failed.
ProbeResult runDesktopProbe(const char *program)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QString::fromLocal8Bit(program),
                {QStringLiteral("--memory-probe"), dbe::Session::instance().alias(Alias).path});
    if (!probe.waitForFinished(120000) || probe.exitCode() != 0)
        return {};
    const QList<QByteArray> words = probe.readAllStandardOutput().simplified().split(' ');
    if (words.size() != 8)
        return {};
    return {words[1].toDouble(), words[3].toDouble(), words[5].toDouble(), words[7].toDouble()};
}

struct Target {
    const char *benchmark;
    const char *label;
    double targetMs;
};

const Target Targets[] = {
    {"BM_SetupEditorOpenToFirstUser", "setup editor: open, first user's rights shown", 500},
    {"BM_SetupEditorPickUser/percent:0", "setup editor: pick the first user", 50},
    {"BM_SetupEditorPickUser/percent:50", "setup editor: pick a user mid-list", 50},
    {"BM_SetupEditorPickUser/percent:100", "setup editor: pick the last user", 50},
    {"BM_ViewLogOpen", "View Log: open at the newest entry", 50},
    {"BM_ViewLogCtrlEnd", "View Log: Ctrl+End from the first row", 50},
    {"BM_ViewLogScrollToMiddle", "View Log: drag to the middle", 50},
};

// Prints the usual output, then one line per figure: its median beside its target.
class TargetReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate ||
                run.aggregate_name != "median")
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            m_medianMs[name] = run.real_accumulated_time / double(run.iterations) * 1e3;
        }
    }

    void printTable(const ProbeResult &desktop) const
    {
        std::printf("\n%-50s %12s %10s %6s\n", "Large database (median)", "measured", "target",
                    "met");
        std::printf("%-50s %12d\n", "log entries (VESK_BENCH_LOG_ROWS)", LogRows);
        for (const Target &target : Targets) {
            const auto found = m_medianMs.find(target.benchmark);
            if (found == m_medianMs.end()) {
                std::printf("%-50s %12s %7.0f ms %6s\n", target.label, "failed", target.targetMs,
                            "no");
                continue;
            }
            std::printf("%-50s %9.1f ms %7.0f ms %6s\n", target.label, found->second,
                        target.targetMs, found->second < target.targetMs ? "yes" : "NO");
        }
        const double limit = 150;
        if (desktop.residentMb < 0) {
            std::printf("%-50s %12s %7.0f MB %6s\n", "desktop: resident memory", "failed", limit,
                        "no");
            return;
        }
        std::printf("%-50s %9.1f ms %7.0f ms %6s\n", "new desktop: open setup editor (one run)",
                    desktop.editorMs, 500.0, desktop.editorMs < 500 ? "yes" : "NO");
        std::printf("%-50s %9.1f ms %7.0f ms %6s\n", "new desktop: open View Log (one run)",
                    desktop.viewLogMs, 50.0, desktop.viewLogMs < 50 ? "yes" : "NO");
        std::printf("%-50s %9.1f MB %7.0f MB %6s\n", "desktop: resident memory (VmRSS)",
                    desktop.residentMb, limit, desktop.residentMb < limit ? "yes" : "NO");
        std::printf("%-50s %9.1f MB %7.0f MB %6s\n", "desktop: peak resident memory (VmHWM)",
                    desktop.peakMb, limit, desktop.peakMb < limit ? "yes" : "NO");
    }

private:
    std::map<std::string, double> m_medianMs;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::Application app(argc, argv);
    ui::Application::installFontSubstitutions();
    if (argc == 3 && std::string(argv[1]) == "--memory-probe")
        return memoryProbe(QString::fromLocal8Bit(argv[2]));
    const bool onServer = takeOwnFlag(argc, argv, "--postgres");

    BenchDatabase database(Alias, Master);
    const QString keptDir = onServer ? QString() : qEnvironmentVariable("VESK_BENCH_DATA_DIR");
    if (!keptDir.isEmpty() && database.reopen(keptDir)) {
        std::fprintf(stderr, "measuring on the database kept in %s\n", qPrintable(keptDir));
    } else {
        if (!keptDir.isEmpty() && !QDir().mkpath(keptDir))
            return 1;
        if (!database.create(onServer, keptDir))
            return 1;
        std::fprintf(stderr, "filling the database...\n");
        QElapsedTimer filling;
        filling.start();
        fillDatabase();
        std::fprintf(stderr, "filled in %.1f s\n", double(filling.elapsed()) / 1e3);
    }

    dbe::Session::instance().addPassword(Master);
    TFormAdmin desktop;
    desktop.OpenSecurity(Alias);
    if (CurrentAlias != Alias) {
        std::fprintf(stderr, "the desktop does not open the database\n");
        return 1;
    }
    Desktop = &desktop;

    benchmark::Initialize(&argc, argv);
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // The probe opens the database's files in a process of its own, which a server's schema
    // in this process's private cluster is not.
    reporter.printTable(onServer ? ProbeResult{} : runDesktopProbe(argv[0]));
    return 0;
}
