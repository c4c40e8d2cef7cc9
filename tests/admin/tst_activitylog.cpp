// The activity log at a busy site's size: View Log's rows placed by key, the CSV export, and
// the purge that archives old entries, killed half way.

#include "admin/loggridmodel.h"
#include "admin/vwlogunt.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "logarchive/archivefile.h"
#include "logarchive/logcsv.h"
#include "logarchive/logpurge.h"
#include "tests/support/teststorage.h"
#include "tests/support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QWheelEvent>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

const QDateTime Start(QDate(2026, 1, 1), QTime(0, 0));

// Entries a minute apart from `first` on; every fifth a logon.
void writeLog(const QString &alias, int first, int entries, int userId, int accessId)
{
    dbe::Table log;
    log.setDatabaseName(alias);
    log.setTableName(QStringLiteral("LOG.DB"));
    log.open();
    dbe::Transaction transaction(*dbe::Session::instance().database(alias));
    for (int n = first; n < first + entries; ++n) {
        log.append();
        log.setValue(QStringLiteral("Access_Date"), Start.addSecs(60 * qint64(n)));
        log.setValue(QStringLiteral("User_ID"), userId);
        if (n % 5 != 0)
            log.setValue(QStringLiteral("Access_ID"), accessId);
        log.post();
    }
    transaction.commit();
}

// The log on its date index, as View Log reads it.
void openLogByDate(dbe::Table &log, const QString &alias)
{
    log.setDatabaseName(alias);
    log.setTableName(QStringLiteral("LOG.DB"));
    log.setIndexName(QStringLiteral("LOGINFO"));
    log.open();
}

// The entry number the model shows in `row`.
int countAt(const LogGridModel &model, int row)
{
    return model.index(row, model.columnOf(QStringLiteral("LogCount"))).data().toString().toInt();
}

struct Run {
    int exitCode = -1;
    QString output;
};

Run vesksec(const testsupport::SecurityDb &db, const QStringList &args, int killAfterMs = -1)
{
    dbe::Session::instance().saveConfig(); // the tool finds the test's aliases there
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VESK_MASTER_PASSWORD"), db.password());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral(VESK_VESKSEC), args);
    process.waitForStarted();
    if (killAfterMs >= 0) {
        QTest::qWait(killAfterMs);
        // Once finished the process has no id, and kill(0) would end the test's own group.
        if (const qint64 pid = process.processId(); pid > 0)
            ::kill(pid_t(pid), SIGKILL);
    }
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
}

QList<qint64> logCounts(const QString &alias)
{
    QList<qint64> counts;
    for (const QString &row :
         testsupport::rows(alias, QStringLiteral("LOG.DB"), {QStringLiteral("LogCount")}))
        counts.append(row.toLongLong());
    return counts;
}

} // namespace

class TestActivityLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void init() { testsupport::followStorageRow(); }

    // Counted or placed by key, the grid shows the same rows, right after another process
    // deleted the oldest entries and wrote new ones.
    void rowsAfterAnotherProcessWrites_data()
    {
        QTest::addColumn<int>("exactBelow");
        QTest::newRow("counted") << 100000;
        QTest::newRow("by key") << 0;
    }

    void rowsAfterAnotherProcessWrites()
    {
        QFETCH(int, exactBelow);
        testsupport::SecurityDb db;
        writeLog(db.alias(), 0, 300, 0, 1);
        dbe::Table log;
        openLogByDate(log, db.alias());
        LogGridModel model;
        model.setExactBelow(exactBelow);
        model.setDataSet(&log);
        QCOMPARE(model.rowCount(), 300);
        QCOMPARE(model.readByKey(), exactBelow == 0);

        const QString child = QStringLiteral("--child");
        dbe::Session::instance().saveConfig();
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {child, db.alias(), db.password()});
        QVERIFY(other.waitForFinished(60000));
        QCOMPARE(other.exitCode(), 0);

        model.reload();
        // Left: entries 40-299 and the 25 new ones (300-324), numbered 41 to 325.
        QCOMPARE(model.rowCount(), 285);
        QCOMPARE(countAt(model, 142), 183); // the middle first, as a drag of the thumb reads it
        QCOMPARE(countAt(model, 143), 184);
        QCOMPARE(countAt(model, 284), 325);
        QCOMPARE(countAt(model, 0), 41);
        QCOMPARE(countAt(model, 200), 241);
    }

    // The newest entries are read forwards from the one numbered a block before the last; an
    // entry written late with an earlier time (a workstation's clock behind) sits among them,
    // and they are then read backwards from the end as before.
    void lastRowsWithAnEntryOutOfOrder()
    {
        testsupport::SecurityDb db;
        writeLog(db.alias(), 0, 300, 0, 1);
        dbe::Table log;
        openLogByDate(log, db.alias());
        log.append();
        log.setValue(QStringLiteral("Access_Date"), Start.addSecs(60 * 289 + 30));
        log.setValue(QStringLiteral("User_ID"), 0);
        log.post();
        LogGridModel model;
        model.setExactBelow(0);
        model.setDataSet(&log);
        QCOMPARE(model.rowCount(), 301);
        QCOMPARE(countAt(model, 300), 300);
        QCOMPARE(countAt(model, 290), 301);
        QCOMPARE(countAt(model, 256), 257);
    }

    // View Log's grid holds a window of the rows above a hundred thousand entries; here above
    // none. Whatever brings a row to the screen, it shows that row's entry, also after another
    // process deleted the oldest entries and wrote new ones.
    void windowedGridShowsEachRowsEntry_data()
    {
        QTest::addColumn<int>("exactBelow");
        QTest::addColumn<bool>("othersWrote");
        QTest::newRow("counted") << 100000 << false;
        QTest::newRow("by key") << 0 << false;
        QTest::newRow("counted, after another process") << 100000 << true;
        QTest::newRow("by key, after another process") << 0 << true;
    }

    void windowedGridShowsEachRowsEntry()
    {
        QFETCH(int, exactBelow);
        QFETCH(bool, othersWrote);
        testsupport::SecurityDb db;
        writeLog(db.alias(), 0, 300, 0, 1);
        TfrmViewLog viewer;
        viewer.tblUsers->setDatabaseName(db.alias());
        viewer.tblAccess->setDatabaseName(db.alias());
        viewer.tblLog->setDatabaseName(db.alias());
        ui::WindowedTableView *grid = viewer.DBGrid1;
        grid->setWindowedAbove(0);
        viewer.dsLog->setExactBelow(exactBelow);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        if (othersWrote) {
            dbe::Session::instance().saveConfig();
            QProcess other;
            other.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), db.alias(), db.password()});
            QVERIFY(other.waitForFinished(60000));
            QCOMPARE(other.exitCode(), 0);
            viewer.dsLog->reload();
        }
        const int rows = othersWrote ? 285 : 300;
        const int firstCount = othersWrote ? 41 : 1;
        QCOMPARE(viewer.dsLog->rowCount(), rows);
        QVERIFY(grid->isWindowed());
        QVERIFY(grid->model()->rowCount() < rows);
        QScrollBar *bar = grid->verticalScrollBar();
        QCOMPARE(bar->maximum() + bar->pageStep(), rows);

        // The count the grid paints at a height of its viewport, and the row it says is there.
        const int countColumn = viewer.dsLog->columnOf(QStringLiteral("LogCount"));
        const auto shownAt = [&](int y) {
            const QModelIndex cell = grid->model()->index(grid->rowAt(y), countColumn);
            return std::make_pair(grid->sourceRowAt(y), cell.data().toInt());
        };
        const auto currentCount = [&] {
            return grid->currentIndex().siblingAtColumn(countColumn).data().toInt();
        };
        const int bottom = grid->viewport()->height() - 1;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentSourceRow(), rows - 1);
        QCOMPARE(currentCount(), firstCount + rows - 1);
        QCOMPARE(shownAt(bottom), std::make_pair(rows - 1, firstCount + rows - 1));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(currentCount(), firstCount);
        QCOMPARE(shownAt(0), std::make_pair(0, firstCount));

        bar->setValue(bar->maximum() / 2);
        const int top = shownAt(0).first;
        QVERIFY2(top > rows / 3 && top < 2 * rows / 3, qPrintable(QString::number(top)));
        QCOMPARE(shownAt(0).second, firstCount + top);
        QCOMPARE(shownAt(bottom).second, firstCount + shownAt(bottom).first);
        // A turn of the wheel, then a click: the row clicked is current, its arrow beside it.
        const QPoint middle(grid->viewport()->width() / 2, grid->viewport()->height() / 2);
        QWheelEvent wheel(middle, grid->viewport()->mapToGlobal(middle), {}, {0, -120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(grid->viewport(), &wheel);
        const int turned = top + QApplication::wheelScrollLines();
        QCOMPARE(shownAt(0), std::make_pair(turned, firstCount + turned));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, middle);
        const int clicked = grid->sourceRowAt(middle.y());
        QCOMPARE(grid->currentSourceRow(), clicked);
        QCOMPARE(viewer.dsLog->currentRow(), clicked);
        QCOMPARE(currentCount(), firstCount + clicked);
        QCOMPARE(grid->model()->headerData(grid->rowAt(middle.y()), Qt::Vertical).toString(),
                 QStringLiteral("\u25B6"));
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        bar->setValue(bar->maximum() / 2);
        // The keys go on from the current row, off screen as it is.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentSourceRow(), 1);
        QCOMPARE(currentCount(), firstCount + 1);
        QCOMPARE(shownAt(0), std::make_pair(1, firstCount + 1));
        QTest::keyClick(grid, Qt::Key_PageDown);
        QCOMPARE(currentCount(), firstCount + grid->currentSourceRow());
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
    }

    void exportWritesTheLogAsCsv()
    {
        testsupport::SecurityDb db;
        const int user = db.addUser(QStringLiteral("Smith, \"J\""), QStringLiteral("pw"));
        const int gone = db.addUser(QStringLiteral("Gone"), QStringLiteral("pw"));
        const int edit = db.addAccess(QStringLiteral("Edit"));
        writeLog(db.alias(), 0, 2, user, edit);
        writeLog(db.alias(), 2, 1, gone, edit + 1);
        writeLog(db.alias(), 60 * 24, 2, 0, edit); // the next day
        dbe::Table users;
        users.setDatabaseName(db.alias());
        users.setTableName(QStringLiteral("USERS.DB"));
        users.open();
        QVERIFY(users.findKey({gone}));
        users.remove();

        QTemporaryDir out;
        const QString csv = out.filePath(QStringLiteral("log.csv"));
        const Run run = vesksec(db, {"log", "export", "--alias", db.alias(), "--from",
                                     "2026-01-01", "--to", "2026-01-01", "--csv", csv});
        QCOMPARE(run.exitCode, 0);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("LogCount,Access_Date,User_ID,User_Name,Access_ID,Access_Name\r\n"
                            "1,2026-01-01 00:00:00.000,1,\"Smith, \"\"J\"\"\",,\r\n"
                            "2,2026-01-01 00:01:00.000,1,\"Smith, \"\"J\"\"\",1,Edit\r\n"
                            "3,2026-01-01 00:02:00.000,2,,2,\r\n"));
        QCOMPARE(vesksec(db, {"log", "purge", "--alias", db.alias(), "--before", "2026-01-02"})
                     .exitCode,
                 2);
    }

    // Killed at any moment, a purge leaves every entry once: in the archive or in the log.
    void purgeKilledHalfWayLosesAndDoublesNothing_data()
    {
        QTest::addColumn<int>("killAfterMs"); // -2: stopped once 500 entries were archived
        QTest::newRow("not killed") << -1;
        QTest::newRow("stopped before deleting archived entries") << -2;
        QTest::newRow("killed at once") << 0;
        QTest::newRow("killed after 150 ms") << 150;
        QTest::newRow("killed after 400 ms") << 400;
        QTest::newRow("killed after 900 ms") << 900;
    }

    void purgeKilledHalfWayLosesAndDoublesNothing()
    {
        QFETCH(int, killAfterMs);
        testsupport::SecurityDb db;
        constexpr int Entries = 20000; // a fortnight, a minute apart
        writeLog(db.alias(), 0, Entries, 0, 1);
        QTemporaryDir out;
        const QString archive = out.filePath(QStringLiteral("archive.csv"));
        const QStringList purge{"log",      "purge",      "--alias", db.alias(),
                                "--before", "2026-01-08", "--archive", archive};
        if (killAfterMs >= 0)
            vesksec(db, purge, killAfterMs);
        if (killAfterMs == -2) {
            logarchive::ArchiveFile stopped(archive);
            dbe::Table log;
            log.setDatabaseName(db.alias());
            log.setTableName(QStringLiteral("LOG.DB"));
            log.open();
            const logarchive::LogNames names(db.alias());
            for (int n = 0; n < 500; log.next(), ++n)
                stopped.append(logarchive::csvLine(log, names));
            stopped.append("501,2026-01-01 08:");
            stopped.sync();
        }
        const Run run = vesksec(db, purge);
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));

        QFile file(archive);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.takeFirst(), QByteArray("LogCount,Access_Date,User_ID,User_Name,Access_ID,"
                                               "Access_Name\r"));
        QCOMPARE(lines.takeLast(), QByteArray());
        QSet<qint64> seen;
        for (const QByteArray &line : std::as_const(lines)) {
            const qint64 count = line.left(line.indexOf(',')).toLongLong();
            QVERIFY2(line.mid(line.indexOf(',') + 1, 10) < "2026-01-08", line.constData());
            QVERIFY2(!seen.contains(count), line.constData());
            seen.insert(count);
        }
        QCOMPARE(seen.size(), 7 * 24 * 60);
        for (qint64 count : logCounts(db.alias())) {
            QVERIFY(!seen.contains(count));
            seen.insert(count);
        }
        QCOMPARE(seen.size(), Entries);
    }
};

// The other process of rowsAfterAnotherProcessWrites: deletes the first 40 entries and writes 25.
int runChild(const QStringList &args)
{
    const QString alias = args.value(0);
    dbe::Session::instance().addPassword(args.value(1));
    dbe::Table log;
    openLogByDate(log, alias);
    log.setRange({Start}, {Start.addSecs(39 * 60)});
    const int deleted = logarchive::commitPurge(alias, log, 1000000, Start.date(), false);
    log.cancelRange();
    writeLog(alias, 300, 25, 0, 1);
    return deleted == 40 ? 0 : 1;
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--child")) {
        testsupport::isolateEngineConfig();
        return runChild(app.arguments().mid(2));
    }
    TestActivityLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_activitylog.moc"
