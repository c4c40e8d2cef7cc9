// What the import of a large old installation costs: 10,000 users, 1,000 access constants and
// 50,000 rights, converted by the conversion alone (as `vesksec import` runs it) and through
// the Import dialog, which must keep repainting while it works.
//
// Every iteration imports into a fresh security database; creating it is not timed.

#include "admin/admnunt.h"
#include "admin/filebrowsers.h"
#include "import/oldimport.h"
#include "admin/impunt.h"
#include "dbe/error.h"
#include "dbe/session.h"
#include "rules/createtables.h"
#include "tests/dbase/oldsecurityfiles.h"
#include "ui/messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

const QString Master = QStringLiteral("BenchMaster");
constexpr int Users = 10000;
constexpr int Constants = 1000;
constexpr int Rights = 50000;
constexpr int RightsPerUser = Rights / Users;

QTemporaryDir *oldFilesDir = nullptr;

void writeOldFiles(const QString &dir)
{
    QList<oldfixture::Constant> constants;
    for (int c = 1; c <= Constants; ++c)
        constants.append({c, QStringLiteral("Right %1").arg(c)});
    QList<oldfixture::User> users;
    for (int u = 1; u <= Users; ++u)
        users.append({u, QStringLiteral("User%1").arg(u), QStringLiteral("pw%1").arg(u)});
    // Five different constants for every user, spread over the whole list.
    QList<oldfixture::Right> rights;
    for (int i = 0; i < Rights; ++i) {
        const int user = i / RightsPerUser + 1;
        const int constant = (i % RightsPerUser) * (Constants / RightsPerUser) + user % 200 + 1;
        rights.append({user, constant});
    }
    oldfixture::writeConstants(dir, constants);
    oldfixture::writeUsers(dir, users);
    oldfixture::writeRights(dir, rights);
    oldfixture::writeSystem(dir, {{QStringLiteral("Migrated installation"), QChar(u'T')}});
}

// A fresh, empty security database under a new alias.
class FreshDatabase
{
public:
    FreshDatabase()
    {
        static int count = 0;
        m_alias = QStringLiteral("IMPORT%1").arg(++count);
        dbe::Session::instance().addStandardAlias(m_alias, m_dir.path());
        security::createSecurityTables(m_alias, Master);
    }
    ~FreshDatabase() { dbe::Session::instance().deleteAlias(m_alias); }
    QString alias() const { return m_alias; }

private:
    QTemporaryDir m_dir;
    QString m_alias;
};

void BM_ImportConversion(benchmark::State &state)
{
    qint64 lines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto database = std::make_unique<FreshDatabase>();
        QStringList progress;
        state.ResumeTiming();
        try {
            oldimport::run(
                {oldFilesDir->path(), database->alias(), true},
                {[&progress](const QString &line) { progress.append(line); }, [] { return true; }});
        } catch (const dbe::Error &error) {
            state.SkipWithError(qPrintable(error.text()));
            break;
        }
        state.PauseTiming();
        lines = progress.size();
        database.reset();
        state.ResumeTiming();
    }
    state.counters["lines"] = double(lines);
    state.counters["rows/s"] = benchmark::Counter(double(Users + Constants + Rights),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// Counts the paints of the progress list, and measures the longest time the window did not
// look at its events (a timer ticks whenever it does): how long a click could go unanswered.
class Responsiveness : public QObject
{
public:
    explicit Responsiveness(QWidget *list) : m_list(list)
    {
        list->installEventFilter(this);
        m_sinceTick.start();
        m_ticker.setInterval(5);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            longestPauseMs = std::max(longestPauseMs, m_sinceTick.restart());
        });
        m_ticker.start();
    }
    ~Responsiveness() override { m_list->removeEventFilter(this); }

    int paints = 0;
    qint64 longestPauseMs = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }

private:
    QWidget *m_list;
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
};

void BM_ImportDialog(benchmark::State &state)
{
    ui::MessageRecorder messages; // answers "Conversion was Successful!"
    int paints = 0;
    qint64 longestPause = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto database = std::make_unique<FreshDatabase>();
        CurrentAlias = database->alias();
        TfrmImport dialog;
        dialog.DirectoryListBox1->setDirectory(oldFilesDir->path());
        dialog.chbxSysConvert->setChecked(true);
        dialog.show();
        QApplication::processEvents();
        Responsiveness watch(dialog.lbStatus->viewport());
        state.ResumeTiming();
        dialog.btnImportClick();
        state.PauseTiming();
        if (dialog.lbStatus->count() < Users + Constants) {
            state.SkipWithError(qPrintable(messages.lastText()));
            break;
        }
        paints = watch.paints;
        longestPause = std::max(longestPause, watch.longestPauseMs);
        dialog.close();
        database.reset();
        state.ResumeTiming();
    }
    state.counters["paints"] = double(paints);
    state.counters["longest_pause_ms"] = double(longestPause);
}

BENCHMARK(BM_ImportConversion)->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_ImportDialog)->Iterations(3)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir configDir;
    // The benchmark's aliases live in a configuration of its own, never the user's.
    qputenv("VESK_DBE_CONFIG", (configDir.path() + QStringLiteral("/dbe.ini")).toLocal8Bit());
    dbe::Session::instance().reloadConfig();

    QTemporaryDir oldFiles;
    oldFilesDir = &oldFiles;
    std::fprintf(stderr, "writing the old files...\n");
    writeOldFiles(oldFiles.path());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
