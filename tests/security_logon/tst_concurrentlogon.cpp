// Several workstations logging the same user on at once, on each storage: every logon that
// succeeds is counted in USERS.DB and logged once in LOG.DB, and no other is.

#include "logontestkit.h"
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QSet>
#include <QTest>
#include <memory>
#include <vector>

using namespace logontest;
using testsupport::SecurityDb;

class TestConcurrentLogon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void everyLogonIsCounted();
};

void TestConcurrentLogon::everyLogonIsCounted()
{
    // Each logon commits its count and log row with a few fsyncs: 1,600 of them take seconds on
    // an idle disk and a minute or two on a loaded one, well inside the children's time limit.
    // The server's test cluster runs without fsync, and takes 800.
    const bool onServer = testsupport::currentStorage() == testsupport::Storage::Postgres;
    const int Processes = 8;
    const int LogonsEach = onServer ? 100 : 200;

    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("Shared"), QStringLiteral("pw"));

    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < Processes; ++i) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--child"), QStringLiteral("logonex"), db.databaseName(),
                      db.password(), QStringLiteral("SHARED"), QStringLiteral("PW"),
                      QString::number(LogonsEach)});
        QVERIFY(child->waitForStarted());
        children.push_back(std::move(child));
    }
    // Workstations logging on in a tight loop may wait longer for each other than the busy
    // timeout allows; such a logon fails as a whole. What succeeded is counted and logged once.
    int succeeded = 0;
    int failed = 0;
    for (const auto &child : children) {
        QVERIFY(child->waitForFinished(240000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        const QList<QByteArray> counts = child->readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(counts.size(), 2);
        succeeded += counts.at(0).toInt();
        failed += counts.at(1).toInt();
    }
    qInfo("%d logons succeeded, %d failed busy", succeeded, failed);
    QCOMPARE(succeeded + failed, Processes * LogonsEach);
    QVERIFY(succeeded > failed);

    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(),
             succeeded);
    const QList<QVariantMap> log = rowsOf(db.alias(), QStringLiteral("Log"));
    QCOMPARE(log.size(), succeeded);
    QSet<int> numbers;
    for (const QVariantMap &row : log) {
        QCOMPARE(row.value(QStringLiteral("User_ID")).toInt(), user);
        QVERIFY(row.value(QStringLiteral("Access_ID")).isNull());
        numbers.insert(row.value(QStringLiteral("LogCount")).toInt());
    }
    QCOMPARE(numbers.size(), succeeded);
}

LOGON_TEST_MAIN(TestConcurrentLogon)
#include "tst_concurrentlogon.moc"
