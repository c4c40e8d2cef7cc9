// Several workstations logging the same user on at once: every logon is counted in USERS.DB
// and logged once in LOG.DB.

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
    void everyLogonIsCounted();
};

void TestConcurrentLogon::everyLogonIsCounted()
{
    constexpr int Processes = 4;
    constexpr int LogonsEach = 40;

    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(QStringLiteral("Shared"), QStringLiteral("pw"));

    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < Processes; ++i) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--child"), QStringLiteral("logonex"), db.dir(), db.password(),
                      QStringLiteral("SHARED"), QStringLiteral("PW"), QString::number(LogonsEach)});
        QVERIFY(child->waitForStarted());
        children.push_back(std::move(child));
    }
    for (const auto &child : children) {
        QVERIFY(child->waitForFinished(240000));
        QCOMPARE(child->exitStatus(), QProcess::NormalExit);
        QCOMPARE(child->exitCode(), 0);
        QCOMPARE(child->readAllStandardOutput().trimmed(), QByteArray::number(LogonsEach));
    }

    constexpr int Total = Processes * LogonsEach;
    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(), Total);
    const QList<QVariantMap> log = rowsOf(db.alias(), QStringLiteral("Log"));
    QCOMPARE(log.size(), Total);
    QSet<int> numbers;
    for (const QVariantMap &row : log) {
        QCOMPARE(row.value(QStringLiteral("User_ID")).toInt(), user);
        QVERIFY(row.value(QStringLiteral("Access_ID")).isNull());
        numbers.insert(row.value(QStringLiteral("LogCount")).toInt());
    }
    QCOMPARE(numbers.size(), Total);
}

LOGON_TEST_MAIN(TestConcurrentLogon)
#include "tst_concurrentlogon.moc"
