// vesksec copy: a database copied from table files to a server and back is the same database,
// down to the numbers the next rows get; a place holding tables is only overwritten when asked;
// a copy that fails leaves no tables behind.

#include "dbe/error.h"
#include "dbe/session.h"
#include "dbe/table.h"
#include "rules/createtables.h"
#include "rules/schema.h"
#include "rules/securityrules.h"
#include "tests/support/teststorage.h"
#include "tests/support/testsupport.h"
#include "transfer/snapshot.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using testsupport::SecurityDb;
using testsupport::TestServer;
namespace tables = security::tables;
namespace fields = security::fields;

namespace {

const QString Vesksec = QStringLiteral(VESKSEC_PATH);

struct Run {
    int status = -1;
    QString output;
};

Run vesksec(const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(Vesksec, arguments);
    tool.waitForFinished(120000);
    dbe::Session::instance().reloadConfig(); // the aliases the tool saved
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAll())};
}

int userIdOfNextRow(const QString &alias)
{
    return dbe::appendRecord(alias, tables::Users, {{fields::UserName, QStringLiteral("next")}});
}

// A database whose counters are ahead of its rows (the last user, constant and log row were
// deleted), with dates to the millisecond, blank and filled fields, and a settings row.
void fill(SecurityDb &db)
{
    db.setSettings(true, true, QStringLiteral("Copied site"));
    const int clerk = db.addUser(QStringLiteral("clerk"), QStringLiteral("pw1"), true, false,
                                 QStringLiteral("Sales"));
    db.addUser(QStringLiteral("admin"), QStringLiteral("pw2"), true, true);
    const int gone = db.addUser(QStringLiteral("gone"), QStringLiteral("pw3"), false);
    const int view = db.addAccess(QStringLiteral("View Orders"));
    const int edit = db.addAccess(QStringLiteral("Edit Orders"));
    const int dropped = db.addAccess(QStringLiteral("Dropped"));
    const int group = db.addGroup(QStringLiteral("Clerks"));
    db.addMember(group, view);
    db.grant(clerk, group, security::RightGroup);
    db.grant(clerk, edit, security::RightConstant);
    security::SecurityRules rules(db.alias());
    QVERIFY(rules.deleteUser(gone));
    QVERIFY(rules.deleteConstant(dropped));
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    for (int i = 0; i < 5; ++i)
        dbe::appendRecord(db.alias(), tables::Log,
                          {{fields::AccessDate, when.addMSecs(i)},
                           {fields::UserId, clerk},
                           {fields::AccessId, i % 2 ? QVariant(view) : QVariant()}});
    dbe::Table log;
    log.setDatabaseName(db.alias());
    log.setTableName(tables::Log);
    log.open();
    log.last();
    log.remove();
}

} // namespace

class TestCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { testsupport::isolateEngineConfig(); }
    void filesToServerToFilesIsTheSameDatabase();
    void aPlaceWithTablesIsOverwrittenOnlyWithReplace_data();
    void aPlaceWithTablesIsOverwrittenOnlyWithReplace();
    void aFailedCopyLeavesNoTables();
};

void TestCopy::filesToServerToFilesIsTheSameDatabase()
{
    SecurityDb source(QStringLiteral("COPYSRC"));
    fill(source);
    const QString password = QStringLiteral("--password=") + source.password();
    const QString schema = TestServer::instance().newSchema();
    const Run toServer =
        vesksec({QStringLiteral("copy"), QStringLiteral("--from"), source.databaseName(),
                 QStringLiteral("--alias"), QStringLiteral("COPYSRV"), QStringLiteral("--server"),
                 TestServer::instance().connectionFor(source.password()),
                 QStringLiteral("--schema"), schema, password});
    QVERIFY2(toServer.status == 0, qPrintable(toServer.output));
    QVERIFY2(toServer.output.contains(QLatin1String("USERS.DB: 2 rows")),
             qPrintable(toServer.output));
    QTemporaryDir back;
    const Run toFiles =
        vesksec({QStringLiteral("copy"), QStringLiteral("--from"), QStringLiteral("COPYSRV"),
                 QStringLiteral("--alias"), QStringLiteral("COPYBACK"), QStringLiteral("--dir"),
                 back.path(), password});
    QVERIFY2(toFiles.status == 0, qPrintable(toFiles.output));

    const transfer::Snapshot original = transfer::takeSnapshot(source.databaseName());
    QVERIFY(original.table(tables::Users).counter > original.table(tables::Users).rows.size());
    QVERIFY(original.table(tables::Log).counter > original.table(tables::Log).rows.size());
    QVERIFY(transfer::takeSnapshot(QStringLiteral("COPYSRV")) == original);
    QVERIFY(transfer::takeSnapshot(QStringLiteral("COPYBACK")) == original);
    // The copies number their next rows as the original does.
    const int next = userIdOfNextRow(source.databaseName());
    QCOMPARE(userIdOfNextRow(QStringLiteral("COPYSRV")), next);
    QCOMPARE(userIdOfNextRow(QStringLiteral("COPYBACK")), next);
}

void TestCopy::aPlaceWithTablesIsOverwrittenOnlyWithReplace_data()
{
    QTest::addColumn<bool>("onServer");
    QTest::newRow("directory") << false;
    QTest::newRow("server") << true;
}

void TestCopy::aPlaceWithTablesIsOverwrittenOnlyWithReplace()
{
    QFETCH(bool, onServer);
    SecurityDb source(QStringLiteral("REPLSRC"));
    fill(source);
    QTemporaryDir dir;
    QStringList place;
    if (onServer)
        place << QStringLiteral("--server")
              << TestServer::instance().connectionFor(source.password())
              << QStringLiteral("--schema") << TestServer::instance().newSchema();
    else
        place << QStringLiteral("--dir") << dir.path();
    const QString password = QStringLiteral("--password=") + source.password();
    const QString taken = QStringLiteral("REPLDST%1").arg(int(onServer));
    const Run created = vesksec(
        QStringList{QStringLiteral("create"), QStringLiteral("--alias"), taken, password} + place);
    QVERIFY2(created.status == 0, qPrintable(created.output));
    userIdOfNextRow(taken);
    const transfer::Snapshot before = transfer::takeSnapshot(taken);
    QStringList arguments = QStringList{QStringLiteral("copy"),
                                        QStringLiteral("--from"),
                                        source.databaseName(),
                                        QStringLiteral("--alias"),
                                        taken,
                                        password} +
                            place;

    const Run refused = vesksec(arguments);
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.output.contains(QLatin1String("security tables exist")),
             qPrintable(refused.output));
    QVERIFY(transfer::takeSnapshot(taken) == before);

    const Run replaced = vesksec(arguments << QStringLiteral("--replace"));
    QVERIFY2(replaced.status == 0, qPrintable(replaced.output));
    QVERIFY(transfer::takeSnapshot(taken) == transfer::takeSnapshot(source.databaseName()));
}

void TestCopy::aFailedCopyLeavesNoTables()
{
    SecurityDb source(QStringLiteral("FAILSRC"));
    fill(source);
    // A table of somebody else's where LOG.DB would go: the fourth table cannot be made.
    TestServer &server = TestServer::instance();
    const QString connection = server.connectionFor(source.password());
    const QString schema = server.newSchema();
    server.execute(QStringLiteral("CREATE SCHEMA %1").arg(schema));
    server.execute(QStringLiteral("CREATE TABLE %1.log (x integer)").arg(schema));
    server.execute(QStringLiteral("GRANT ALL ON SCHEMA %1 TO PUBLIC").arg(schema));
    const Run failed =
        vesksec({QStringLiteral("copy"), QStringLiteral("--from"), source.databaseName(),
                 QStringLiteral("--alias"), QStringLiteral("FAILDST"), QStringLiteral("--server"),
                 connection, QStringLiteral("--schema"), schema,
                 QStringLiteral("--password=") + source.password()});
    QCOMPARE(failed.status, 1);
    QVERIFY2(failed.output.contains(QLatin1String("table log")), qPrintable(failed.output));
    QVERIFY(!dbe::Session::instance().hasAlias(QStringLiteral("FAILDST")));
    QCOMPARE(server
                 .execute(QStringLiteral("SELECT string_agg(tablename, ',') FROM pg_tables WHERE "
                                         "schemaname = $1 AND tablename NOT LIKE 'dbe\\_%'"),
                          {schema})
                 .toString(),
             QStringLiteral("log"));
}

QTEST_GUILESS_MAIN(TestCopy)
#include "tst_copy.moc"
