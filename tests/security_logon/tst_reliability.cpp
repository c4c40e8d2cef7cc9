// What the component does when the engine fails under it, and with rows it never writes: a
// logon whose writes fail leaves nobody logged on and nothing written, a grant whose log row
// cannot be written is refused, the failure reaches the host's handler or a box and never the
// host as an exception, and ids or counts beyond what the kit writes let nobody in.

#include "dbe/query.h"
#include "dbe/session.h"
#include "logontestkit.h"
#include "rules/schema.h"
#include "tests/support/testsupport.h"
#include "ui/messages.h"

#include <QTest>

using namespace logontest;
using testsupport::SecurityDb;

namespace {

const QString Master = QStringLiteral("Master1");

// Writes a value no window or API of the kit would write, straight into the table.
void writeRaw(const SecurityDb &db, const QString &sql)
{
    dbe::Query query;
    query.setDatabaseName(db.alias());
    query.setSql({sql});
    query.open();
}

int accessCountOf(const SecurityDb &db, int userId)
{
    return userRow(db.alias(), userId).value(QStringLiteral("User_AccessCount")).toInt();
}

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { dbe::Session::instance().closeDatabases(); }

    // Another workstation holds the table the operation writes: the operation fails as a
    // whole, and once the table is free again the same call writes exactly its own rows.
    void aWriteThatFailsLeavesNothingHalfDone_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("busyTable");
        QTest::addColumn<bool>("hostHandler");
        QTest::newRow("logon, users table busy, box") << "LogonEx"
                                                      << "Users" << false;
        QTest::newRow("logon, log busy, box") << "LogonEx"
                                              << "Log" << false;
        QTest::newRow("logon, log busy, host's handler") << "LogonEx"
                                                         << "Log" << true;
        QTest::newRow("access test, log busy, box") << "TestAccess"
                                                    << "Log" << false;
        QTest::newRow("access test, log busy, host's handler") << "TestAccess"
                                                               << "Log" << true;
    }
    void aWriteThatFailsLeavesNothingHalfDone()
    {
        QFETCH(QString, operation);
        QFETCH(QString, busyTable);
        QFETCH(bool, hostHandler);
        SecurityDb db(QStringLiteral("TESTSEC"), Master);
        db.setSettings(true, true);
        const int access = db.addAccess(QStringLiteral("Edit"));
        const int user = db.addUser(QStringLiteral("Holder"), QStringLiteral("pw"));
        db.grant(user, access, security::RightConstant);
        const auto secure = activatedComponent(db);
        const bool isLogon = operation == QLatin1String("LogonEx");
        if (!isLogon)
            QVERIFY(secure->LogonEx(QStringLiteral("Holder"), QStringLiteral("pw")));
        const auto call = [&] {
            return isLogon ? secure->LogonEx(QStringLiteral("Holder"), QStringLiteral("pw"))
                           : secure->TestAccess(access);
        };
        QStringList handled;
        if (hostHandler)
            secure->setErrorHandler([&](const QString &text) { handled.append(text); });
        const int countBefore = accessCountOf(db, user);
        const int logBefore = db.rowCount(QStringLiteral("Log"));

        {
            const QVariantMap peerRow =
                busyTable == QLatin1String("Log")
                    ? QVariantMap{{QStringLiteral("Access_Date"), QDateTime::currentDateTime()},
                                  {QStringLiteral("User_ID"), 99}}
                    : QVariantMap{{QStringLiteral("User_Name"), QStringLiteral("Peer")},
                                  {QStringLiteral("User_Password"), QStringLiteral("pw")}};
            testsupport::OtherStationWriting peer(db, busyTable, peerRow);
            ui::MessageRecorder recorder;
            bool result = true;
            try {
                result = call();
            } catch (const std::exception &error) {
                QFAIL(qPrintable(QStringLiteral("escaped: %1").arg(error.what())));
            }
            QVERIFY(!result);
            const QString busyFile = busyTable.toUpper() + QStringLiteral(".DB");
            QVERIFY2(secure->LastError().contains(busyFile), qPrintable(secure->LastError()));
            QCOMPARE(hostHandler ? handled : recorder.texts(), QStringList{secure->LastError()});
            if (hostHandler)
                QVERIFY(recorder.texts().isEmpty());
            if (isLogon)
                QVERIFY(!secure->GetActive());
        }
        QCOMPARE(accessCountOf(db, user), countBefore);
        QCOMPARE(db.rowCount(QStringLiteral("Log")), logBefore);

        // No row of the failed call waits to be written with the next one.
        QVERIFY(call());
        QVERIFY(secure->LastError().isEmpty());
        QCOMPARE(accessCountOf(db, user), countBefore + (isLogon ? 1 : 0));
        QCOMPARE(db.rowCount(QStringLiteral("Log")), logBefore + 1);
    }

    void rowsTheKitNeverWritesLogNobodyOn_data()
    {
        QTest::addColumn<qint64>("storedId");
        QTest::newRow("0, the supervisor's") << qint64(0);
        QTest::newRow("-1, nobody's") << qint64(-1);
        QTest::newRow("2^31") << qint64(2147483648);
        QTest::newRow("2^32, cut to 0") << qint64(4294967296);
        QTest::newRow("2^32 + 1, cut to a real user's") << qint64(4294967297);
    }
    void rowsTheKitNeverWritesLogNobodyOn()
    {
        QFETCH(qint64, storedId);
        SecurityDb db(QStringLiteral("TESTSEC"), Master);
        db.setSettings(true, true);
        const int access = db.addAccess(QStringLiteral("Edit"));
        const int real = db.addUser(QStringLiteral("Real"), QStringLiteral("pw"));
        QCOMPARE(real, 1);
        db.grant(real, access, security::RightConstant);
        db.addUser(QStringLiteral("Odd"), QStringLiteral("pw"));
        writeRaw(
            db,
            QStringLiteral("UPDATE USERS SET User_ID = %1 WHERE User_Name = 'Odd'").arg(storedId));

        const auto secure = activatedComponent(db);
        ui::MessageRecorder recorder;
        QVERIFY(!secure->LogonEx(QStringLiteral("Odd"), QStringLiteral("pw")));
        QVERIFY(!secure->GetActive());
        QCOMPARE(secure->UserID(), -1);
        QVERIFY(!secure->TestAccess(access));
        QCOMPARE(db.rowCount(QStringLiteral("Log")), 0);
        QVERIFY(secure->LastError().isEmpty()); // refused like an unknown user, no failure
    }

    void theLargestIdKeepsItsRightsAndCountsStopAtTheTop()
    {
        SecurityDb db(QStringLiteral("TESTSEC"), Master);
        db.setSettings(true, true);
        const int direct = db.addAccess(QStringLiteral("Direct"));
        const int inGroup = db.addAccess(QStringLiteral("In a group"));
        const int group = db.addGroup(QStringLiteral("Group"));
        db.addMember(group, inGroup);
        db.addUser(QStringLiteral("Top"), QStringLiteral("pw"));
        constexpr int Largest = std::numeric_limits<int>::max();
        writeRaw(db, QStringLiteral("UPDATE USERS SET User_ID = %1, User_AccessCount = %1 "
                                    "WHERE User_Name = 'Top'")
                         .arg(Largest));
        db.grant(Largest, direct, security::RightConstant);
        db.grant(Largest, group, security::RightGroup);

        const auto secure = activatedComponent(db);
        QVERIFY(secure->LogonEx(QStringLiteral("Top"), QStringLiteral("pw")));
        QCOMPARE(secure->UserID(), Largest);
        QCOMPARE(secure->AccessCount(), Largest);
        QCOMPARE(accessCountOf(db, Largest), Largest);
        QVERIFY(secure->TestAccess(direct));
        QVERIFY(secure->TestAccess(inGroup));
        QVERIFY(secure->LogonEx(QStringLiteral("Top"), QStringLiteral("pw")));
        QCOMPARE(secure->AccessCount(), Largest);
    }
};

LOGON_TEST_MAIN(TestReliability)
#include "tst_reliability.moc"
