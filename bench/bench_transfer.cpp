// Copy and backup of a security database with 100,000 log rows: the snapshot of the seven
// tables, the sealed backup file (written and read back, as `vesksec backup` does), and the
// copy into fresh table files and into a fresh schema on a server.
//
//   bench_transfer [--postgres]   (the source database on a private PostgreSQL cluster)

#include "benchdatabase.h"
#include "dbe/database.h"
#include "dbe/tablecontent.h"
#include "transfer/backupfile.h"
#include "transfer/placement.h"
#include "transfer/snapshot.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

const QString Alias = QStringLiteral("BENCHXFER");
const QString Master = QStringLiteral("Bench1");
constexpr int LogRows = 100000;
constexpr int Users = 500;
bool onServer = false;

// 500 users, 100 constants, 10 groups and their rights; the log written in one go through the
// engine's bulk path, as most of the rows are the log's.
bool fill()
{
    static BenchDatabase database(Alias, Master);
    if (!database.create(onServer))
        return false;
    BenchTables tables(Alias);
    const std::shared_ptr<dbe::Database> db = dbe::Session::instance().database(Alias);
    dbe::Transaction transaction(*db);
    appendRow(*tables.program, {{security::fields::SecurityLabel, QStringLiteral("Bench")},
                                {security::fields::Enabled, true},
                                {security::fields::LogEnabled, true}});
    for (int i = 1; i <= 100; ++i)
        appendRow(*tables.access,
                  {{security::fields::AccessName, QStringLiteral("Right %1").arg(i)}});
    for (int g = 1; g <= 10; ++g) {
        appendRow(*tables.groups,
                  {{security::fields::GroupName, QStringLiteral("Group %1").arg(g)}});
        for (int a = g; a <= 100; a += 10)
            appendRow(*tables.members,
                      {{security::fields::GroupId, g}, {security::fields::AccessId, a}});
    }
    for (int u = 1; u <= Users; ++u) {
        appendRow(*tables.users, {{security::fields::UserName, QStringLiteral("user%1").arg(u)},
                                  {security::fields::UserPassword, QStringLiteral("pw%1").arg(u)},
                                  {security::fields::UserAccessCount, LogRows / Users},
                                  {security::fields::UserEnabled, true}});
        appendRow(*tables.rights, {{security::fields::UserId, u},
                                   {security::fields::AccessId, u % 10 + 1},
                                   {security::fields::RightType, security::RightGroup}});
    }
    dbe::TableContent log;
    log.def = security::securityTable(security::tables::Log);
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    for (int r = 1; r <= LogRows; ++r)
        log.rows.append({start.addSecs(r * 7), qint64(r % Users + 1), qint64(r),
                         r % 3 ? QVariant(qint64(r % 100 + 1)) : QVariant()});
    log.counter = LogRows;
    dbe::replaceTableContent(*db, security::tables::Log, log);
    transaction.commit();
    return true;
}

void BM_Snapshot(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const transfer::Snapshot snapshot = transfer::takeSnapshot(Alias);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["log_rows"] = double(snapshot.table(security::tables::Log).rows.size());
    }
}

// What `vesksec backup` does after opening the database: snapshot, seal, write, read back.
void BM_Backup(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.bak"));
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const transfer::Snapshot snapshot = transfer::takeSnapshot(Alias);
        transfer::writeBackup(file, snapshot, Master);
        const bool same = transfer::readBackup(file, Master) == snapshot;
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        state.counters["file_MB"] = double(QFileInfo(file).size()) / 1e6;
        if (!same)
            state.SkipWithError("the backup does not read back");
    }
}

// What `vesksec copy` does after opening the source: snapshot, then the tables made and filled
// in the new place, checked before commit.
void BM_Copy(benchmark::State &state)
{
    const bool toServer = state.range(0) == 1;
    static int copies = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString target = QStringLiteral("BENCHCOPY%1").arg(++copies);
        dbe::Session &session = dbe::Session::instance();
        try {
            if (toServer) {
                testsupport::TestServer &server = testsupport::TestServer::instance();
                session.addServerAlias(target, dbe::storage::PostgresDriver,
                                       server.connectionFor(Master), server.newSchema());
            } else {
                session.addStandardAlias(target, dir.path());
            }
            QElapsedTimer clock;
            clock.start();
            const transfer::Snapshot snapshot = transfer::takeSnapshot(Alias);
            transfer::placeSnapshot(target, snapshot, Master, {});
            state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        } catch (const dbe::Error &error) {
            state.SkipWithError(qPrintable(error.text()));
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_Snapshot)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);
BENCHMARK(BM_Backup)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Copy)
    ->ArgName("to_server")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(3);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    onServer = takeOwnFlag(argc, argv, "--postgres");
    try {
        if (!fill())
            return 1;
    } catch (const dbe::Error &error) {
        std::fprintf(stderr, "cannot fill the database: %s\n", qPrintable(error.text()));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
