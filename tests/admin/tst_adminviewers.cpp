// The activity log viewer (lookups, the cut of long names, clearing and its refusal) and the
// list of network users holding the security tables open.

#include "admin/admnunt.h"
#include "admin/vwlogunt.h"
#include "admin/vwusrunt.h"
#include "dbe/database.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "security/vesksec2_p.h"
#include "tests/admin/adminfixture.h"
#include "ui/datasetmodel.h"
#include "ui/messages.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <functional>
#include <memory>

namespace {

const QDateTime Morning(QDate(2026, 3, 2), QTime(8, 15, 0));

void appendLog(const QString &alias, int minutes, int userId, const QVariant &accessId)
{
    dbe::Table log;
    log.setDatabaseName(alias);
    log.setTableName(QStringLiteral("LOG.DB"));
    log.open();
    log.append();
    log.setValue(QStringLiteral("Access_Date"), Morning.addSecs(60 * minutes));
    log.setValue(QStringLiteral("User_ID"), userId);
    log.setValue(QStringLiteral("Access_ID"), accessId);
    log.post();
}

// Writes `entries` log entries in one transaction; `fill` sets entry n's fields.
void writeLog(const QString &alias, int entries, const std::function<void(dbe::Table &, int)> &fill)
{
    dbe::Table log;
    log.setDatabaseName(alias);
    log.setTableName(QStringLiteral("LOG.DB"));
    log.open();
    dbe::Transaction transaction(*dbe::Session::instance().database(alias));
    for (int n = 0; n < entries; ++n) {
        log.append();
        fill(log, n);
        log.post();
    }
    transaction.commit();
}

// View Log on the database, shown as the desktop shows it (without the modal loop).
std::unique_ptr<TfrmViewLog> showViewLog(const QString &alias)
{
    auto viewer = std::make_unique<TfrmViewLog>();
    viewer->tblUsers->setDatabaseName(alias);
    viewer->tblAccess->setDatabaseName(alias);
    viewer->tblLog->setDatabaseName(alias);
    viewer->show();
    return viewer;
}

// The grid's text, one string per row, cells joined by "|".
QStringList gridRows(const ui::DataSetModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells.append(model.index(row, column).data().toString());
        rows.append(cells.join(QLatin1Char('|')));
    }
    return rows;
}

QStringList gridTitles(const ui::DataSetModel &model)
{
    QStringList titles;
    for (int column = 0; column < model.columnCount(); ++column)
        titles.append(model.headerData(column, Qt::Horizontal).toString());
    return titles;
}

// A host application's security component, activated without a logon: it holds GRPCOLL.DB and
// USERACC.DB open, and LOG.DB too when the database has logging enabled.
std::unique_ptr<TVeskSecure> startHost(const testsupport::SecurityDb &db)
{
    auto host = std::make_unique<TVeskSecure>();
    host->SetAlias(db.alias());
    host->SetPassword(db.password());
    host->SetOptions(TSecurityOptions{});
    host->Loaded();
    return host;
}

QString stamp(int minutes)
{
    return ui::DataSetModel::displayText(dbe::FieldType::Timestamp, Morning.addSecs(60 * minutes));
}

} // namespace

class TestAdminViewers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void logShowsLookedUpNamesInTimeOrder()
    {
        testsupport::SecurityDb db;
        const int alice = db.addUser(QStringLiteral("Alice"), QStringLiteral("pw"));
        const QString longName = QStringLiteral("Bartholomew Fitzgerald-Montgomery III");
        QVERIFY(longName.size() > 30);
        const int bart = db.addUser(longName, QStringLiteral("pw"));
        const int edit = db.addAccess(QStringLiteral("Edit Users"));
        appendLog(db.alias(), 4, bart, QVariant());
        appendLog(db.alias(), 0, alice, QVariant());
        appendLog(db.alias(), 1, alice, edit);
        appendLog(db.alias(), 2, 0, edit);
        appendLog(db.alias(), 3, 99, 42);

        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QStringList titles;
        QStringList rows;
        QString caption;
        bool okFocused = false;
        TfrmViewLog *shown = nullptr;
        testsupport::ExpectDialog<TfrmViewLog> logViewer([&](TfrmViewLog *viewer) {
            shown = viewer;
            caption = viewer->windowTitle();
            titles = gridTitles(*viewer->dsLog);
            rows = gridRows(*viewer->dsLog);
            okFocused = viewer->focusWidget() == viewer->OKBtn;
            QVERIFY(viewer->tblLog->isOpen() && viewer->tblUsers->isOpen() &&
                    viewer->tblAccess->isOpen());
            viewer->OKBtn->click();
            QVERIFY(!viewer->tblLog->isOpen() && !viewer->tblUsers->isOpen() &&
                    !viewer->tblAccess->isOpen());
        });
        window.ViewLog1Click();
        VESK_VERIFY_DIALOG(logViewer);
        QVERIFY(shown);
        QCOMPARE(caption, QStringLiteral("View Log"));
        QVERIFY(okFocused);
        QCOMPARE(titles,
                 (QStringList{"Access Date", "Cnt", "User Name", "Acc ID", "Access Label"}));
        QCOMPARE(rows, (QStringList{
                           stamp(0) + "|2|Alice||*** Logon ***",
                           stamp(1) + "|3|Alice|1|Edit Users",
                           stamp(2) + "|4|Unknown|1|Edit Users",
                           stamp(3) + "|5|Unknown|42|Unknown",
                           stamp(4) + "|1|" + longName.left(30) + "||*** Logon ***",
                       }));
    }

    void columnsAreWideEnoughForTheirTitles()
    {
        testsupport::SecurityDb db;
        appendLog(db.alias(), 0, 0, QVariant());
        const std::unique_ptr<TfrmViewLog> shownViewer = showViewLog(db.alias());
        TfrmViewLog &viewer = *shownViewer;
        const QFontMetrics titles = viewer.DBGrid1->horizontalHeader()->fontMetrics();
        for (int column = 0; column < viewer.dsLog->columnCount(); ++column) {
            const QString title = viewer.dsLog->headerData(column, Qt::Horizontal).toString();
            QVERIFY2(viewer.DBGrid1->columnWidth(column) > titles.horizontalAdvance(title),
                     qPrintable(title));
        }
        // "User Name" is 20 characters wide, "Cnt" 5.
        QVERIFY(viewer.DBGrid1->columnWidth(2) > 3 * viewer.DBGrid1->columnWidth(1));
    }

    // Counts are never reused, so a site that has logged for years shows seven digits.
    void largeCountsFitTheirColumn()
    {
        testsupport::SecurityDb db;
        appendLog(db.alias(), 0, 0, QVariant());
        dbe::appendRecord(db.alias(), QStringLiteral("LOG.DB"),
                          {{QStringLiteral("Access_Date"), Morning.addSecs(60)},
                           {QStringLiteral("User_ID"), 0},
                           {QStringLiteral("LogCount"), 1234567}});
        const std::unique_ptr<TfrmViewLog> shownViewer = showViewLog(db.alias());
        TfrmViewLog &viewer = *shownViewer;
        QTableView *grid = viewer.DBGrid1;
        const int count = viewer.dsLog->columnOf(QStringLiteral("LogCount"));
        const QString newest = viewer.dsLog->index(1, count).data().toString();
        QCOMPARE(newest, QStringLiteral("1234567"));
        QVERIFY(grid->columnWidth(count) > grid->fontMetrics().horizontalAdvance(newest));
        QTRY_COMPARE(grid->horizontalScrollBar()->maximum(), 0);
    }

    void longLogFitsAndOpensAtTheNewestEntry()
    {
        testsupport::SecurityDb db;
        const int alice = db.addUser(QStringLiteral("Alice"), QStringLiteral("pw"));
        for (int minute = 0; minute < 200; ++minute)
            appendLog(db.alias(), minute, alice, QVariant());
        const std::unique_ptr<TfrmViewLog> shownViewer = showViewLog(db.alias());
        TfrmViewLog &viewer = *shownViewer;
        QTableView *grid = viewer.DBGrid1;
        QCOMPARE(viewer.dsLog->rowCount(), 200);
        QVERIFY(grid->verticalScrollBar()->isVisible());
        // Every column in view beside the scroll bar, and nothing to scroll sideways.
        QTRY_COMPARE(grid->horizontalScrollBar()->maximum(), 0);
        const int last = viewer.dsLog->columnCount() - 1;
        QVERIFY(grid->columnViewportPosition(last) + grid->columnWidth(last) <=
                grid->viewport()->width());
        // Opened at the newest entry, in view.
        QCOMPARE(grid->currentIndex().row(), 199);
        QVERIFY(grid->viewport()->rect().intersects(grid->visualRect(grid->currentIndex())));
        if (const QByteArray dir = qgetenv("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
            viewer.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/viewlog.png"));

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(grid->rowAt(0), 0);
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), 199);
        QCOMPARE(grid->horizontalScrollBar()->value(), 0);
    }

    // A site's log runs to a hundred thousand entries: the grid reads the rows it shows, and
    // every row, wherever the grid stands, shows its own entry with its own names.
    void longLogIsReadAsItIsShown()
    {
        testsupport::SecurityDb db;
        const int alice = db.addUser(QStringLiteral("Alice"), QStringLiteral("pw"));
        const int bob = db.addUser(QStringLiteral("Bob"), QStringLiteral("pw"));
        const int edit = db.addAccess(QStringLiteral("Edit Users"));
        constexpr int Entries = 5000;
        writeLog(db.alias(), Entries, [&](dbe::Table &log, int minute) {
            log.setValue(QStringLiteral("Access_Date"), Morning.addSecs(60 * minute));
            log.setValue(QStringLiteral("User_ID"), minute % 3 == 0 ? bob : alice);
            if (minute % 10 != 0)
                log.setValue(QStringLiteral("Access_ID"), edit);
        });
        // Entry n is the (n+1)th written, so its count is n+1.
        const auto entry = [](int n) {
            return stamp(n) + QStringLiteral("|%1|").arg(n + 1) +
                   (n % 3 == 0 ? QStringLiteral("Bob") : QStringLiteral("Alice")) +
                   (n % 10 == 0 ? QStringLiteral("||*** Logon ***")
                                : QStringLiteral("|1|Edit Users"));
        };
        const auto shownRows = [](QTableView *grid) {
            QStringList shown;
            const int first = grid->rowAt(0);
            const int last = grid->rowAt(grid->viewport()->height() - 1);
            for (int row = first; row <= last && row >= 0; ++row) {
                QStringList cells;
                for (int column = 0; column < grid->model()->columnCount(); ++column)
                    cells.append(grid->model()->index(row, column).data().toString());
                shown.append(cells.join(QLatin1Char('|')));
            }
            return std::make_pair(first, shown);
        };
        const auto expected = [&entry](int first, qsizetype count) {
            QStringList rows;
            for (int n = first; n < first + count; ++n)
                rows.append(entry(n));
            return rows;
        };

        const std::unique_ptr<TfrmViewLog> shownViewer = showViewLog(db.alias());
        TfrmViewLog &viewer = *shownViewer;
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QTableView *grid = viewer.DBGrid1;
        QCOMPARE(viewer.dsLog->rowCount(), Entries);
        QCOMPARE(grid->currentIndex().row(), Entries - 1);
        auto [first, shown] = shownRows(grid);
        QVERIFY(shown.size() > 5);
        QCOMPARE(shown, expected(first, shown.size()));
        QCOMPARE(shown.last(), entry(Entries - 1));
        // The newest rows on show, read with the block around them: not the whole log.
        QVERIFY2(viewer.dsLog->rowsRead() <= 2 * ui::DataSetModel::BlockRows,
                 qPrintable(QString::number(viewer.dsLog->rowsRead())));

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
        std::tie(first, shown) = shownRows(grid);
        QCOMPARE(first, 0);
        QCOMPARE(shown, expected(0, shown.size()));
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
        std::tie(first, shown) = shownRows(grid);
        QVERIFY(first > Entries / 3 && first < 2 * Entries / 3);
        QCOMPARE(shown, expected(first, shown.size()));
        if (const QByteArray dir = qgetenv("VESK_SCREENSHOT_DIR"); !dir.isEmpty())
            viewer.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/viewlog-middle.png"));
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->currentIndex().row(), Entries - 1);
        QCOMPARE(shownRows(grid).second.last(), entry(Entries - 1));
        QVERIFY2(viewer.dsLog->rowsRead() <= 6 * ui::DataSetModel::BlockRows,
                 qPrintable(QString::number(viewer.dsLog->rowsRead())));
    }

    // The grid reads while it paints, where an engine failure cannot be let through: it is
    // shown once, from the event loop, and the window stays up.
    void unreadableLogIsReportedOnce()
    {
        testsupport::SecurityDb db;
        writeLog(db.alias(), 2000, [](dbe::Table &log, int minute) {
            log.setValue(QStringLiteral("Access_Date"), Morning.addSecs(60 * minute));
            log.setValue(QStringLiteral("User_ID"), 0);
        });
        const std::unique_ptr<TfrmViewLog> shownViewer = showViewLog(db.alias());
        TfrmViewLog &viewer = *shownViewer;
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QCOMPARE(viewer.dsLog->rowCount(), 2000);

        // Another program overwrites the file meanwhile.
        QFile file(QDir(db.dir()).filePath(QStringLiteral("LOG.DB")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(int(file.size()), '\x5a'));
        file.close();

        ui::MessageRecorder messages;
        QScrollBar *bar = viewer.DBGrid1->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        viewer.DBGrid1->viewport()->repaint();
        bar->setValue(bar->maximum() / 4);
        viewer.DBGrid1->viewport()->repaint();
        QTRY_COMPARE(messages.requests().size(), 1);
        QVERIFY(!messages.lastText().isEmpty());
        QCOMPARE(messages.requests().first().kind, ui::MessageKind::Error);
        QVERIFY(viewer.isVisible());
        QCOMPARE(viewer.dsLog->index(viewer.DBGrid1->rowAt(0), 0).data().toString(), QString());
        QTest::qWait(50);
        QCOMPARE(messages.requests().size(), 1);
    }

    void clearLog_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("heldElsewhere");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("rowsAfter");
        QTest::addColumn<bool>("closes");
        const QString question = QStringLiteral("Are you sure you want to clear the Log?");
        QTest::newRow("No leaves the log") << false << false << QStringList{question} << 2 << false;
        QTest::newRow("Yes empties and closes")
            << true << false << QStringList{question} << 0 << true;
        QTest::newRow("refused while a host has the log open")
            << true << true
            << QStringList{question, QStringLiteral("Unable to open Log Table Exclusively.")} << 2
            << false;
    }

    void clearLog()
    {
        QFETCH(bool, yes);
        QFETCH(bool, heldElsewhere);
        QFETCH(QStringList, messages);
        QFETCH(int, rowsAfter);
        QFETCH(bool, closes);
        testsupport::SecurityDb db;
        appendLog(db.alias(), 0, 0, QVariant());
        appendLog(db.alias(), 1, 0, QVariant());
        db.setSettings(true, true);
        // A host application with logging enabled keeps LOG.DB open for its whole run.
        std::unique_ptr<TVeskSecure> host;
        if (heldElsewhere) {
            host = startHost(db);
            QVERIFY(security::logTable(*host) && security::logTable(*host)->isOpen());
        }

        const std::unique_ptr<TfrmViewLog> shownViewer = showViewLog(db.alias());
        TfrmViewLog &viewer = *shownViewer;
        QCOMPARE(viewer.dsLog->rowCount(), 2);
        ui::MessageRecorder recorder;
        if (!yes)
            recorder.answerNo();
        viewer.btnClearLog->click();
        QCOMPARE(recorder.texts(), messages);
        QCOMPARE(recorder.requests().first().kind, ui::MessageKind::Confirmation);
        QCOMPARE(viewer.isVisible(), !closes);
        if (!closes) {
            QVERIFY(viewer.tblLog->isOpen());
            QVERIFY(!viewer.tblLog->exclusive());
            QCOMPARE(viewer.dsLog->rowCount(), rowsAfter);
        }
        host.reset();
        viewer.hide();
        QCOMPARE(db.rowCount(QStringLiteral("LOG.DB")), rowsAfter);
    }

    void usersListsThisWorkstationOncePerLock_data()
    {
        QTest::addColumn<int>("hosts");
        QTest::newRow("the viewer alone") << 0;
        QTest::newRow("and one host application") << 1;
        QTest::newRow("and two host applications") << 2;
    }

    void usersListsThisWorkstationOncePerLock()
    {
        QFETCH(int, hosts);
        testsupport::SecurityDb db;
        db.setSettings(true, false);
        std::vector<std::unique_ptr<TVeskSecure>> running;
        for (int i = 0; i < hosts; ++i)
            running.push_back(startHost(db));
        TFormAdmin window;
        window.OpenSecurity(db.alias());
        QStringList names;
        QString caption;
        testsupport::ExpectDialog<TfrmViewUsers> usersViewer([&](TfrmViewUsers *viewer) {
            caption = viewer->windowTitle();
            QAbstractItemModel *model = viewer->DBLookupList1->model();
            for (int row = 0; row < model->rowCount(); ++row)
                names.append(model->index(row, 0).data().toString());
            viewer->OKBtn->click();
        });
        window.ViewUsers1Click();
        VESK_VERIFY_DIALOG(usersViewer);
        QCOMPARE(caption, QStringLiteral("Current Users"));
        QCOMPARE(names, QStringList(QList<QString>(hosts + 1, dbe::Session::netUserName())));
    }
};

VESK_ADMIN_TEST_MAIN(TestAdminViewers)
#include "tst_adminviewers.moc"
