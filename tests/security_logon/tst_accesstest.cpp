// TestAccess: direct grants, grants through groups, refusals, what is logged, and rights
// changed by another workstation while the component runs.

#include "dbe/table.h"
#include "logontestkit.h"
#include "rightsfixture.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

const QString Denied = QStringLiteral(
    "Access is denied.  Please see your administrator to gain access to this feature.");
const QString NobodyLoggedOn = QStringLiteral("No user is logged into the security.");

} // namespace

class TestAccessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every test runs once per storage.
    void initTestCase_data() { testsupport::addStorageRows(); }
    void init() { testsupport::followStorageRow(); }
    void grants_data();
    void grants();
    void quietWithoutShowUIOrLogging_data();
    void quietWithoutShowUIOrLogging();
    void adminFlagGrantsNothing();
    void supervisorPassesEverything();
    void nobodyLoggedOn_data();
    void nobodyLoggedOn();
    void neverActivatedComponentRefuses_data();
    void neverActivatedComponentRefuses();
    void rightsChangedByAnotherProcessCountAtOnce();
};

void TestAccessTest::grants_data()
{
    QTest::addColumn<QString>("testerRights");
    QTest::addColumn<QString>("neighbourRights");
    QTest::addColumn<int>("accessId");
    QTest::addColumn<bool>("granted");

    QTest::newRow("direct grant") << "C7"
                                  << "" << 7 << true;
    QTest::newRow("through group 3") << "G3"
                                     << "" << 7 << true;
    QTest::newRow("direct and through a group") << "C7 G3"
                                                << "" << 7 << true;
    QTest::newRow("the third group holds it") << "G1 G5 G3"
                                              << "" << 8 << true;
    QTest::newRow("no rights at all") << ""
                                      << "" << 7 << false;
    QTest::newRow("lower-case g is no group") << "g3"
                                              << "" << 7 << false;
    QTest::newRow("lower-case c is no grant") << "c7"
                                              << "" << 7 << false;
    QTest::newRow("G5 names group 5, not constant 5") << "G5"
                                                      << "" << 5 << false;
    QTest::newRow("another constant") << "C8 G1"
                                      << "" << 7 << false;
    QTest::newRow("the next user's rights") << ""
                                            << "C7 G3" << 7 << false;
    QTest::newRow("id missing from ACCESS.DB") << "C99"
                                               << "" << 99 << true;
}

void TestAccessTest::grants()
{
    QFETCH(QString, testerRights);
    QFETCH(QString, neighbourRights);
    QFETCH(int, accessId);
    QFETCH(bool, granted);

    RightsFixture fixture(true);
    fixture.grant(fixture.tester, testerRights);
    fixture.grant(fixture.neighbour, neighbourRights);
    const auto component = activatedComponent(fixture.db, {soShowUI});
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    const int logonRows = fixture.db.rowCount(QStringLiteral("Log"));
    ui::MessageRecorder messages;

    // HasAccess gives the same answer without a message and without a log row.
    QCOMPARE(component->HasAccess(accessId), granted);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), logonRows);
    QVERIFY(!security::userAccTable(*component)->hasRange());

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QCOMPARE(component->TestAccess(accessId), granted);
    QCOMPARE(messages.texts(), granted ? QStringList{} : QStringList{Denied});
    QVERIFY(!security::userAccTable(*component)->hasRange());

    QList<QVariantMap> log = rowsOf(fixture.db.alias(), QStringLiteral("Log"));
    QCOMPARE(log.size(), logonRows + (granted ? 1 : 0));
    if (granted) {
        const auto testRow = std::find_if(log.begin(), log.end(), [](const QVariantMap &row) {
            return !row.value(QStringLiteral("Access_ID")).isNull();
        });
        QVERIFY(testRow != log.end());
        QCOMPARE(testRow->value(QStringLiteral("Access_ID")).toInt(), accessId);
        QCOMPARE(testRow->value(QStringLiteral("User_ID")).toInt(), fixture.tester);
        QVERIFY(testRow->value(QStringLiteral("Access_Date")).toDateTime() >= before);
    }

    // Nothing is carried over: the same test again answers the same.
    messages.clear();
    QCOMPARE(component->TestAccess(accessId), granted);
}

void TestAccessTest::quietWithoutShowUIOrLogging_data()
{
    QTest::addColumn<QString>("rights");
    QTest::addColumn<bool>("granted");

    QTest::newRow("direct grant") << "C7" << true;
    QTest::newRow("through a group") << "G3" << true;
    QTest::newRow("refused") << "G5" << false;
}

void TestAccessTest::quietWithoutShowUIOrLogging()
{
    QFETCH(QString, rights);
    QFETCH(bool, granted);

    RightsFixture fixture(false);
    fixture.grant(fixture.tester, rights);
    const auto component = activatedComponent(fixture.db);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    ui::MessageRecorder messages;

    QCOMPARE(component->TestAccess(7), granted);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), 0);
}

void TestAccessTest::adminFlagGrantsNothing()
{
    RightsFixture fixture(true);
    fixture.db.addUser(QStringLiteral("Boss"), QStringLiteral("pw"), true, true);
    const auto component = activatedComponent(fixture.db, {soShowUI});
    QVERIFY(component->LogonEx(QStringLiteral("Boss"), QStringLiteral("pw")));
    QVERIFY(component->IsAdmin());
    ui::MessageRecorder messages;

    QVERIFY(!component->TestAccess(7));
    QCOMPARE(messages.texts(), QStringList{Denied});
}

void TestAccessTest::supervisorPassesEverything()
{
    RightsFixture fixture(true);
    const auto component = activatedComponent(fixture.db, {soShowUI});
    testsupport::ExpectDialog<TFormLogon> logonDialog([&](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("edUserName"))
            ->setText(QStringLiteral("SUPERVISOR"));
        dialog->findChild<QLineEdit *>(QStringLiteral("edPassword"))
            ->setText(fixture.db.password());
        dialog->findChild<QPushButton *>(QStringLiteral("bbtnOk"))->click();
    });
    QVERIFY(component->Logon());
    VESK_VERIFY_DIALOG(logonDialog);
    QCOMPARE(component->UserID(), 0);
    const int rowsAfterLogon = fixture.db.rowCount(QStringLiteral("Log"));
    ui::MessageRecorder messages;

    QVERIFY(component->TestAccess(7));
    QVERIFY(component->TestAccess(123456));
    QVERIFY(component->TestAccess(-5));
    QVERIFY(component->HasAccess(123456));
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), rowsAfterLogon);
}

void TestAccessTest::nobodyLoggedOn_data()
{
    QTest::addColumn<bool>("showUI");
    QTest::newRow("with soShowUI") << true;
    QTest::newRow("without soShowUI") << false;
}

void TestAccessTest::nobodyLoggedOn()
{
    QFETCH(bool, showUI);

    RightsFixture fixture(true);
    fixture.grant(fixture.tester, QStringLiteral("C7"));
    const auto component = activatedComponent(fixture.db);
    component->SetShowUI(showUI);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    component->SetActive(false);
    const int rowsBefore = fixture.db.rowCount(QStringLiteral("Log"));
    ui::MessageRecorder messages;

    QVERIFY(!component->HasAccess(7));
    QVERIFY(messages.texts().isEmpty());
    QVERIFY(!component->TestAccess(7));
    QCOMPARE(messages.texts(), showUI ? QStringList{NobodyLoggedOn} : QStringList{});
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), rowsBefore);
}

void TestAccessTest::neverActivatedComponentRefuses_data()
{
    QTest::addColumn<bool>("showUI");
    QTest::newRow("with soShowUI") << true;
    QTest::newRow("without soShowUI") << false;
}

void TestAccessTest::neverActivatedComponentRefuses()
{
    QFETCH(bool, showUI);

    RightsFixture fixture(true);
    fixture.grant(fixture.tester, QStringLiteral("C7"));
    const auto component = unloadedComponent(fixture.db);
    component->SetShowUI(showUI);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    ui::MessageRecorder messages;

    QVERIFY(!component->HasAccess(7));
    QVERIFY(messages.texts().isEmpty());
    QVERIFY(!component->TestAccess(7));
    QCOMPARE(messages.texts().size(), showUI ? 1 : 0);
    if (showUI) {
        QVERIFY(messages.lastText() != Denied);
        QVERIFY(messages.lastText().contains(QStringLiteral("not been activated")));
    }
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), 0);
}

void TestAccessTest::rightsChangedByAnotherProcessCountAtOnce()
{
    // Logging on: HasAccess must see each change at once and still write nothing.
    RightsFixture fixture(true);
    fixture.grant(fixture.tester, QStringLiteral("G3"));
    const auto component = activatedComponent(fixture.db);
    QVERIFY(component->LogonEx(QStringLiteral("Tester"), QStringLiteral("pw")));
    QVERIFY(!component->TestAccess(4));
    QVERIFY(!component->TestAccess(9));

    const QString dir = fixture.db.databaseName();
    const QString master = fixture.db.password();
    const QString user = QString::number(fixture.tester);
    runChild({"rights", dir, master, "add", "UserAcc", user, "4", "C"});
    const int logRows = fixture.db.rowCount(QStringLiteral("Log"));
    QVERIFY(component->HasAccess(4));
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), logRows);
    QVERIFY(component->TestAccess(4));

    runChild({"rights", dir, master, "add", "GrpColl", "3", "9"});
    QVERIFY(component->HasAccess(9));
    QVERIFY(component->TestAccess(9));

    runChild({"rights", dir, master, "remove", "UserAcc", user, "4", "C"});
    QVERIFY(!component->HasAccess(4));
    QVERIFY(!component->TestAccess(4));
    runChild({"rights", dir, master, "remove", "UserAcc", user, "3", "G"});
    QVERIFY(!component->HasAccess(9));
    QVERIFY(!component->TestAccess(9));
    QCOMPARE(fixture.db.rowCount(QStringLiteral("Log")), logRows + 2);
    QVERIFY(!component->TestAccess(7));
}

LOGON_TEST_MAIN(TestAccessTest)
#include "tst_accesstest.moc"
