// Rights kept in memory on a server: whatever somebody with the server's keys does to it, and
// whatever becomes of the connection, a host answers as one started afresh (on a cluster of its
// own, as it is restarted and stopped).

#include "logontestkit.h"
#include "rightsfixture.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

using namespace logontest;
using testsupport::TestServer;

namespace {

// Runs `script` in a session of its own as the cluster's administrator, a superuser.
bool administer(const QString &script)
{
    const testsupport::PostgresCluster &cluster = TestServer::instance().cluster();
    QProcess psql;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), cluster.adminPassword);
    psql.setProcessEnvironment(environment);
    psql.start(QStringLiteral("psql"), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d",
                                        cluster.connection(cluster.adminRole), "-c", script});
    return psql.waitForFinished(30000) && psql.exitCode() == 0;
}

bool serverControl(const QString &action)
{
    return testsupport::PrivatePostgres::control(TestServer::instance().cluster(), action);
}

// The cursors' locks on the table, whoever holds them.
int cursorLocks(const QString &table)
{
    return TestServer::instance()
        .execute(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_locks WHERE locktype = "
                                "'advisory' AND objsubid = 2 AND classid = to_regclass($1)::oid"),
                 {table})
        .toInt();
}

std::unique_ptr<TVeskSecure> testerLoggedOn(RightsFixture &fixture, const QString &rights)
{
    fixture.grant(fixture.tester, rights);
    auto component = activatedComponent(fixture.db);
    component->setErrorHandler([](const QString &) {});
    return component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")) ? std::move(component)
                                                                              : nullptr;
}

} // namespace

class ServerTamperingsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows({testsupport::Storage::Postgres}); }
    void init() { testsupport::followStorageRow(); }

    void hostAnswersAsAFreshHost_data()
    {
        QTest::addColumn<QString>("tampering"); // %1 the schema, %2 the tester
        QTest::addColumn<int>("accessId");
        QTest::addColumn<bool>("held");
        const auto row = [](const char *name, const QString &sql, int id, bool held) {
            QTest::newRow(name) << sql << id << held;
        };
        const QString revoke = "DELETE FROM %1.useracc WHERE user_id = %2 AND access_id = 4;";
        row("revoked in a replica session", "SET session_replication_role = replica;" + revoke, 4,
            false);
        row("revoked with the counted setting preset",
            "SELECT set_config('dbe.counted_' || '%1.useracc'::regclass::oid, '1', false);" +
                revoke,
            4, false);
        row("another table renamed into its place",
            "CREATE TABLE %1.swap (LIKE %1.useracc INCLUDING ALL); INSERT INTO %1.swap SELECT * "
            "FROM %1.useracc WHERE access_id <> 4; ALTER TABLE %1.useracc RENAME TO old; ALTER "
            "TABLE %1.swap RENAME TO useracc;",
            4, false);
        row("counter replaced by one that counts nothing",
            "CREATE OR REPLACE FUNCTION %1.dbe_count_change() RETURNS trigger LANGUAGE plpgsql AS "
            "$$BEGIN RETURN NULL; END$$;" +
                revoke,
            4, false);
        row("granted through an inheriting child table",
            "CREATE TABLE %1.kid () INHERITS (%1.useracc); INSERT INTO %1.kid VALUES (%2, 5, 'C');",
            5, true);
        row("one count lowered, another raised",
            revoke + "UPDATE %1.dbe_changes SET changes = changes + CASE table_name WHEN "
                     "'useracc' THEN -1 ELSE 1 END;",
            4, false);
        row("counted rows put back as they were",
            "CREATE TEMP TABLE k AS SELECT * FROM %1.dbe_changes;" + revoke +
                "UPDATE %1.dbe_changes d SET changes = k.changes, counted_in = k.counted_in "
                "FROM k WHERE k.table_name = d.table_name;",
            4, false);
    }

    void hostAnswersAsAFreshHost()
    {
        QFETCH(QString, tampering);
        QFETCH(int, accessId);
        QFETCH(bool, held);
        RightsFixture fixture(false);
        const testsupport::LogCapture log;
        const auto component = testerLoggedOn(fixture, QStringLiteral("C4 G3"));
        QVERIFY(component && component->HasAccess(4) && !component->HasAccess(5));
        // Kept in memory, or the tampering would prove nothing.
        QVERIFY(!log.text().contains(QLatin1String("read the rights tables at each call")));

        const QString tester = QString::number(fixture.tester);
        QVERIFY(
            administer(tampering.replace("%1", fixture.db.place().schema()).replace("%2", tester)));
        const QString fresh = runChild({"fresh", fixture.db.databaseName(), fixture.db.password(),
                                        "Tester", "pw", QString::number(accessId)});
        // A host started now may also refuse: a table swapped in need not read as one.
        const bool refused = !held && fresh.trimmed() == QStringLiteral("error");
        if (!refused)
            QCOMPARE(fresh.trimmed(), QStringLiteral("logon=1 access=%1").arg(int(held)));
        QCOMPARE(component->HasAccess(accessId), held);
        QCOMPARE(component->TestAccess(accessId), held);
    }

    void nextCallConnectsAgain_data()
    {
        QTest::addColumn<QString>("fate");
        QTest::newRow("session ended by an administrator") << "terminate";
        QTest::newRow("server restarted") << "restart";
        QTest::newRow("server away for a while") << "stop";
    }

    void nextCallConnectsAgain()
    {
        QFETCH(QString, fate);
        RightsFixture fixture(false);
        const auto component = testerLoggedOn(fixture, QStringLiteral("G3"));
        QVERIFY(component && component->HasAccess(7) && !component->HasAccess(4));
        const QString rights = fixture.db.place().schema() + QStringLiteral(".useracc");
        const int locks = cursorLocks(rights);
        QVERIFY(locks > 0);

        if (fate == QLatin1String("terminate"))
            TestServer::instance().execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM "
                                                          "pg_catalog.pg_locks WHERE objsubid = 2 "
                                                          "AND classid = to_regclass($1)::oid"),
                                           {rights});
        else
            QVERIFY(serverControl(fate));
        if (fate == QLatin1String("stop")) {
            auto startAgain = qScopeGuard([] { serverControl(QStringLiteral("start")); });
            const ui::MessageRecorder boxes;
            QElapsedTimer timer;
            timer.start();
            QVERIFY(!component->TestAccess(7) && !component->LogonEx("Tester", "pw"));
            QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        }
        QTRY_COMPARE_WITH_TIMEOUT(cursorLocks(rights), 0, 10000);
        TestServer::instance().execute(
            QStringLiteral("INSERT INTO %1 VALUES ($1, 4, 'C')").arg(rights), {fixture.tester});
        QVERIFY(component->HasAccess(4) && component->TestAccess(4) && component->HasAccess(7));
        QCOMPARE(cursorLocks(rights), locks);
    }
};

LOGON_TEST_MAIN(ServerTamperingsTest)
#include "tst_servertamperings.moc"
