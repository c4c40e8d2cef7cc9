// LogonEx and NWLogon: the name and password rules, the count kept in USERS.DB, the activity
// log, and the refusals.

#include "dbe/session.h"
#include "logontestkit.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace logontest;
using testsupport::SecurityDb;

class TestLogonOperations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test runs once per storage.
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void logonExRules_data();
    void logonExRules();
    void logonExKeepsValuesFromBeforeIt();
    void blankCountStartsAtOne();
    void failedLogonKeepsPreviousUser();
    void logRows_data();
    void logRows();
    void networkLogon_data();
    void networkLogon();
    void unreadableUsersTable_data();
    void unreadableUsersTable();
};

void TestLogonOperations::logonExRules_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<quint8>("options");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("loggedOn");

    const quint8 none = TSecurityOptions{}.toByte();
    const quint8 exact = TSecurityOptions{soCaseSensitive}.toByte();
    QTest::newRow("as stored") << true << none << "MixedCase"
                               << "PassWord" << true;
    QTest::newRow("name in capitals") << true << none << "MIXEDCASE"
                                      << "PassWord" << true;
    QTest::newRow("password in capitals") << true << none << "mixedcase"
                                          << "PASSWORD" << true;
    QTest::newRow("case-blind even with soCaseSensitive") << true << exact << "mixedcase"
                                                          << "password" << true;
    QTest::newRow("wrong password") << true << none << "MixedCase"
                                    << "PassWort" << false;
    QTest::newRow("password with a blank") << true << none << "MixedCase"
                                           << "PassWord " << false;
    QTest::newRow("name with a blank") << true << none << "MixedCase "
                                       << "PassWord" << false;
    QTest::newRow("unknown name") << true << none << "Nobody"
                                  << "PassWord" << false;
    QTest::newRow("disabled account") << false << none << "MixedCase"
                                      << "PassWord" << false;
    QTest::newRow("supervisor is an ordinary name") << true << none << "SUPERVISOR"
                                                    << "Master1" << false;
}

void TestLogonOperations::logonExRules()
{
    QFETCH(bool, enabled);
    QFETCH(quint8, options);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, loggedOn);

    SecurityDb db(QStringLiteral("TESTSEC"), QStringLiteral("Master1"));
    db.setSettings(true, false);
    const int user = db.addUser(QStringLiteral("MixedCase"), QStringLiteral("PassWord"), enabled);
    const auto component = activatedComponent(db, TSecurityOptions::fromByte(options));
    ui::MessageRecorder messages;

    QCOMPARE(component->LogonEx(name, password), loggedOn);
    QCOMPARE(component->UserID(), loggedOn ? user : -1);
    QCOMPARE(component->Active(), loggedOn);
    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(),
             loggedOn ? 1 : 0);
    QVERIFY(messages.texts().isEmpty());
}

void TestLogonOperations::logonExKeepsValuesFromBeforeIt()
{
    SecurityDb db;
    db.setSettings(true, false);
    const int user = db.addUser(QStringLiteral("Dave"), QStringLiteral("pw"), true, false,
                                QStringLiteral("Def one"), QStringLiteral("Def two"));
    const QDateTime earlier(QDate(2019, 12, 31), QTime(23, 59, 58, 250));
    setUserFields(
        db.alias(), user,
        {{QStringLiteral("User_LastAccess"), earlier}, {QStringLiteral("User_AccessCount"), 7}});
    const auto component = activatedComponent(db);

    QVERIFY(component->LogonEx(QStringLiteral("dave"), QStringLiteral("pw")));
    QCOMPARE(component->LastAccess(), earlier);
    QCOMPARE(component->AccessCount(), 7);
    QCOMPARE(component->UserDef1(), QStringLiteral("Def one"));
    QCOMPARE(component->UserDef2(), QStringLiteral("Def two"));
    QCOMPARE(component->CurrentPassword(), QStringLiteral("pw"));
    QVERIFY(!component->IsAdmin());

    QVERIFY(component->LogonEx(QStringLiteral("DAVE"), QStringLiteral("PW")));
    QCOMPARE(component->AccessCount(), 8);
    QVERIFY(component->LastAccess() > earlier);
    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(), 9);
}

void TestLogonOperations::blankCountStartsAtOne()
{
    SecurityDb db;
    db.setSettings(true, false);
    const int user = db.addUser(QStringLiteral("Eve"), QStringLiteral("pw"));
    setUserFields(db.alias(), user,
                  {{QStringLiteral("User_AccessCount"), QVariant()},
                   {QStringLiteral("User_LastAccess"), QVariant()}});
    const auto component = activatedComponent(db);

    QVERIFY(component->LogonEx(QStringLiteral("Eve"), QStringLiteral("pw")));
    QCOMPARE(component->AccessCount(), 0);
    QVERIFY(!component->LastAccess().isValid());
    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(), 1);
}

void TestLogonOperations::failedLogonKeepsPreviousUser()
{
    SecurityDb db;
    db.setSettings(true, false);
    const int first = db.addUser(QStringLiteral("First"), QStringLiteral("one"));
    const int second = db.addUser(QStringLiteral("Second"), QStringLiteral("two"), true, true);
    const auto component = activatedComponent(db);

    QVERIFY(component->LogonEx(QStringLiteral("First"), QStringLiteral("one")));
    QVERIFY(!component->LogonEx(QStringLiteral("Second"), QStringLiteral("wrong")));
    QCOMPARE(component->UserID(), first);
    QVERIFY(component->LogonEx(QStringLiteral("Second"), QStringLiteral("two")));
    QCOMPARE(component->UserID(), second);
    QCOMPARE(component->CurrentUserName(), QStringLiteral("Second"));
    QVERIFY(component->IsAdmin());
}

void TestLogonOperations::logRows_data()
{
    QTest::addColumn<bool>("logAtActivation");
    QTest::addColumn<bool>("logSwitchedLater");
    QTest::addColumn<bool>("activate");
    QTest::addColumn<int>("expectedRows");

    QTest::newRow("logging on") << true << true << true << 3;
    QTest::newRow("logging off") << false << false << true << 0;
    QTest::newRow("switched on after activation") << false << true << true << 0;
    QTest::newRow("component never activated") << true << true << false << 0;
}

void TestLogonOperations::logRows()
{
    QFETCH(bool, logAtActivation);
    QFETCH(bool, logSwitchedLater);
    QFETCH(bool, activate);
    QFETCH(int, expectedRows);

    SecurityDb db;
    db.setSettings(true, logAtActivation);
    const int user = db.addUser(QStringLiteral("Frank"), QStringLiteral("pw"));
    const auto component = activate ? activatedComponent(db) : unloadedComponent(db);
    db.setSettings(true, logSwitchedLater);

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QVERIFY(component->LogonEx(QStringLiteral("Frank"), QStringLiteral("pw")));
    QVERIFY(!component->LogonEx(QStringLiteral("Frank"), QStringLiteral("bad")));
    QVERIFY(component->LogonEx(QStringLiteral("FRANK"), QStringLiteral("PW")));
    setUserFields(db.alias(), user, {{QStringLiteral("User_Name"), dbe::Session::netUserName()}});
    component->SetOptions({soWinNetSupport});
    QVERIFY(component->NWLogon());
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QList<QVariantMap> log = rowsOf(db.alias(), QStringLiteral("Log"));
    QCOMPARE(log.size(), expectedRows);
    QSet<int> numbers;
    for (const QVariantMap &row : log) {
        QCOMPARE(row.value(QStringLiteral("User_ID")).toInt(), user);
        QVERIFY(row.value(QStringLiteral("Access_ID")).isNull());
        const QDateTime when = row.value(QStringLiteral("Access_Date")).toDateTime();
        QVERIFY(when >= before && when <= after);
        numbers.insert(row.value(QStringLiteral("LogCount")).toInt());
    }
    QCOMPARE(numbers.size(), expectedRows);
}

void TestLogonOperations::networkLogon_data()
{
    QTest::addColumn<quint8>("options");
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("loggedOn");

    const QString netName = dbe::Session::netUserName();
    const quint8 winNet = TSecurityOptions{soWinNetSupport}.toByte();
    const quint8 everything = TSecurityOptions{soAutoValidate, soCaseSensitive, soShowUI}.toByte();
    const quint8 netwareOnly = TSecurityOptions{soNetwareSupport}.toByte();
    QTest::newRow("network name as stored") << winNet << netName << true << true;
    QTest::newRow("stored in capitals") << winNet << netName.toUpper() << true << true;
    QTest::newRow("disabled account") << winNet << netName << false << false;
    QTest::newRow("no user of that name")
        << winNet << QStringLiteral("x") + netName << true << false;
    QTest::newRow("both network options clear") << everything << netName << true << false;
    QTest::newRow("NetWare without a client") << netwareOnly << netName << true << false;
}

void TestLogonOperations::networkLogon()
{
    QFETCH(quint8, options);
    QFETCH(QString, storedName);
    QFETCH(bool, enabled);
    QFETCH(bool, loggedOn);

    QVERIFY(!dbe::Session::netUserName().isEmpty());
    SecurityDb db;
    db.setSettings(true, true);
    const int user = db.addUser(storedName, QStringLiteral("never asked"), enabled);
    const auto component = activatedComponent(db);
    component->SetOptions(TSecurityOptions::fromByte(options));
    ui::MessageRecorder messages;

    QCOMPARE(component->NWLogon(), loggedOn);
    QCOMPARE(component->UserID(), loggedOn ? user : -1);
    QCOMPARE(userRow(db.alias(), user).value(QStringLiteral("User_AccessCount")).toInt(),
             loggedOn ? 1 : 0);
    QCOMPARE(db.rowCount(QStringLiteral("Log")), loggedOn ? 1 : 0);
    QVERIFY(messages.texts().isEmpty());
}

void TestLogonOperations::unreadableUsersTable_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("missingTable");

    QTest::newRow("LogonEx, unknown alias") << "LogonEx" << false;
    QTest::newRow("LogonEx, no USERS.DB") << "LogonEx" << true;
    QTest::newRow("NWLogon, unknown alias") << "NWLogon" << false;
    QTest::newRow("NWLogon, no USERS.DB") << "NWLogon" << true;
}

void TestLogonOperations::unreadableUsersTable()
{
    QFETCH(QString, operation);
    QFETCH(bool, missingTable);

    SecurityDb db;
    db.setSettings(true, false);
    db.addUser(dbe::Session::netUserName(), QStringLiteral("pw"));
    const auto component = activatedComponent(db, {soWinNetSupport});
    QTemporaryDir emptyDir;
    component->SetAlias(missingTable ? emptyDir.path() : QStringLiteral("NOSUCHALIAS"));
    ui::MessageRecorder messages;

    const bool result = operation == QStringLiteral("LogonEx")
                            ? component->LogonEx(dbe::Session::netUserName(), QStringLiteral("pw"))
                            : component->NWLogon();
    QVERIFY(!result);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Unable to Access Security Files")});
    QCOMPARE(component->UserID(), -1);
}

LOGON_TEST_MAIN(TestLogonOperations)
#include "tst_logonops.moc"
